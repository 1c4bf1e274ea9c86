// A driver client on a simulated Windows over a given board, with the debug log captured, and
// a window on every device request the client sends.
#pragma once

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "config/DebugLog.h"
#include "config/InitFile.h"
#include "hw/ReadWrite.h"
#include "sim/SimAnsiCodePage.h"
#include "sim/SimProcessor.h"
#include "sim/kernel/SimDriverWorld.h"

namespace velmora::hwtest {

namespace dp = driver_protocol;

// Forwards to the simulated Windows and records the requests; chosen codes can be refused.
class RecordingIo : public IFiles {
 public:
  explicit RecordingIo(IFiles& inner) : inner_(inner) {}

  struct MapRequest {
    std::uint32_t physical;
    std::uint32_t length;
  };
  std::vector<MapRequest> maps;
  std::vector<std::uint32_t> codes;
  std::set<std::uint32_t> refused;

  Handle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                     std::uint32_t disposition, std::uint32_t flags) override {
    return inner_.CreateFileA(path, access, share, disposition, flags);
  }
  bool ReadFile(Handle f, void* b, std::uint32_t n, std::uint32_t* r) override {
    return inner_.ReadFile(f, b, n, r);
  }
  bool WriteFile(Handle f, const void* d, std::uint32_t n, std::uint32_t* w) override {
    return inner_.WriteFile(f, d, n, w);
  }
  std::uint32_t GetFileSize(Handle f) override { return inner_.GetFileSize(f); }
  bool CloseHandle(Handle h) override { return inner_.CloseHandle(h); }
  bool DeleteFileA(const std::string& path) override { return inner_.DeleteFileA(path); }
  bool DeviceIoControl(Handle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                       void* out, std::uint32_t outSize, std::uint32_t* returned) override {
    codes.push_back(code);
    if (code == dp::IOCTL_MAP_PHYSICAL_MEMORY && inSize >= 4) {
      std::uint32_t words[3] = {0, 0, 0};
      std::memcpy(words, in, inSize >= 12 ? 12 : 4);
      maps.push_back({words[0], inSize >= 12 ? words[2] : 0});
    }
    if (refused.count(code) != 0) return false;
    return inner_.DeviceIoControl(device, code, in, inSize, out, outSize, returned);
  }
  std::size_t Count(std::uint32_t code) const {
    std::size_t n = 0;
    for (std::uint32_t c : codes) n += c == code;
    return n;
  }

 private:
  IFiles& inner_;
};

inline constexpr char kIniPath[] = "C:\\Program Files\\Zelkor\\Velmora\\Velmora.ini";
inline constexpr char kLogPath[] = "C:\\Program Files\\Zelkor\\Velmora\\RwDebug.rw";

// Everything a start-up needs up to the driver client, on the given board.
class HardwareRig {
 public:
  HardwareRig(sim::SimMachine& board, sim::SimWindowsRelease release, const std::string& ini)
      : world(board, std::move(release)), io(world.io), processor(board) {
    world.files.SetFile(kIniPath, "[Config]\r\nRwDebug=1\r\n" + ini);
    DebugLogBind(&world.files, &codePage);
    config = std::make_unique<TInitFile>(kIniPath, world.files, codePage, world.system);
  }
  ~HardwareRig() {
    readWrite.reset();
    config.reset();
    DebugLogBind(nullptr, nullptr);
  }

  TReadWrite& Connect() {
    readWrite = std::make_unique<TReadWrite>(
        *config,
        HardwarePorts{DriverHost{io, world.services, world.system, world.messages}, world.memory,
                      processor});
    return *readWrite;
  }

  // Debug log lines written so far that start with the prefix.
  std::vector<std::string> LogLines(const std::string& prefix = "") const {
    std::vector<std::string> lines;
    const std::string text = world.files.Contents(kLogPath).value_or("");
    std::size_t at = 0;
    while (at < text.size()) {
      const std::size_t end = text.find("\r\n", at);
      const std::string line = text.substr(at, end - at);
      if (line.rfind(prefix, 0) == 0) lines.push_back(line);
      if (end == std::string::npos) break;
      at = end + 2;
    }
    return lines;
  }

  sim::SimDriverWorld world;
  sim::SimAnsiCodePage codePage;
  RecordingIo io;
  sim::SimProcessor processor;
  std::unique_ptr<TInitFile> config;
  std::unique_ptr<TReadWrite> readWrite;
};

}  // namespace velmora::hwtest
