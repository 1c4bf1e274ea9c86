#include "win32/demo/DemoFiles.h"

#include <windows.h>

#include <vector>

#include "win32/Win32Text.h"

namespace velmora::demo {
namespace {

using win32::Utf8ToWide;

HANDLE OpenFile(const std::string& path, DWORD access, DWORD disposition) {
  return CreateFileW(Utf8ToWide(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteAll(HANDLE file, const std::string& contents) {
  std::size_t done = 0;
  while (done < contents.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(contents.size() - done);
    if (!WriteFile(file, contents.data() + done, chunk, &written, nullptr) || written == 0)
      return false;
    done += written;
  }
  return true;
}

}  // namespace

std::string ProgramFolder() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) {
      std::wstring full(path.data(), length);
      return win32::WideToUtf8(full.substr(0, full.find_last_of(L"\\/") + 1));
    }
    path.resize(path.size() * 2);
  }
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  const HANDLE file = OpenFile(path, GENERIC_READ, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string contents;
  char buffer[4096];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      CloseHandle(file);
      return std::nullopt;
    }
    if (got == 0) break;
    contents.append(buffer, got);
  }
  CloseHandle(file);
  return contents;
}

bool ReplaceFileContents(const std::string& path, const std::string& contents) {
  const std::string temporary = path + ".new";
  const HANDLE file = OpenFile(temporary, GENERIC_WRITE, CREATE_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = WriteAll(file, contents) && FlushFileBuffers(file);
  CloseHandle(file);
  if (written && MoveFileExW(Utf8ToWide(temporary).c_str(), Utf8ToWide(path).c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  DeleteFileW(Utf8ToWide(temporary).c_str());
  return false;
}

bool AppendLine(const std::string& path, const std::string& line) {
  const HANDLE file = OpenFile(path, FILE_APPEND_DATA, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = WriteAll(file, line + "\r\n");
  CloseHandle(file);
  return written;
}

}  // namespace velmora::demo
