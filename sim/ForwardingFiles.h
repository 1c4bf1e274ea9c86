// An IFiles that passes every call on to another one: the base for layers that watch or limit
// what the program asks of the file and device layer (recorders, request budgets).
#pragma once

#include <string>

#include "ports/FilePort.h"

namespace velmora::sim {

class ForwardingFiles : public IFiles {
 public:
  explicit ForwardingFiles(IFiles* inner = nullptr) : inner_(inner) {}
  void Bind(IFiles& inner) { inner_ = &inner; }

  Handle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                     std::uint32_t disposition, std::uint32_t flags) override {
    return inner_->CreateFileA(path, access, share, disposition, flags);
  }
  bool ReadFile(Handle file, void* buffer, std::uint32_t size, std::uint32_t* read) override {
    return inner_->ReadFile(file, buffer, size, read);
  }
  bool WriteFile(Handle file, const void* data, std::uint32_t size,
                 std::uint32_t* written) override {
    return inner_->WriteFile(file, data, size, written);
  }
  std::uint32_t GetFileSize(Handle file) override { return inner_->GetFileSize(file); }
  bool CloseHandle(Handle object) override { return inner_->CloseHandle(object); }
  bool DeleteFileA(const std::string& path) override { return inner_->DeleteFileA(path); }
  bool DeviceIoControl(Handle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                       void* out, std::uint32_t outSize, std::uint32_t* returned) override {
    return inner_->DeviceIoControl(device, code, in, inSize, out, outSize, returned);
  }

 private:
  IFiles* inner_;
};

}  // namespace velmora::sim
