#include "config/DebugLog.h"

#include "ports/WinTypes.h"

namespace velmora {
namespace {

struct DebugLogState {
  IFiles* files = nullptr;
  IAnsiCodePage* codePage = nullptr;
  Handle file = kInvalidHandleValue;
  bool enabled = false;
};

DebugLogState& Log() {
  static DebugLogState state;
  return state;
}

}  // namespace

void DebugLogBind(IFiles* files, IAnsiCodePage* codePage) {
  DebugLogState& log = Log();
  log = DebugLogState{};
  log.files = files;
  log.codePage = codePage;
}

void DebugLogOpen(const std::string& path) {
  DebugLogState& log = Log();
  if (log.files == nullptr) return;
  log.file = log.files->CreateFileA(path, win::kFileAllAccess, 0, win::kCreateAlways,
                                    win::kFileFlagWriteThrough | win::kFileAttributeNormal);
  log.enabled = true;
}

void DebugLogWrite(const std::string& text) {
  DebugLogState& log = Log();
  if (!log.enabled) return;
  std::string line = log.codePage != nullptr ? log.codePage->Utf8ToAnsi(text) : text;
  line += "\r\n";
  std::uint32_t written = 0;
  log.files->WriteFile(log.file, line.data(), static_cast<std::uint32_t>(line.size()), &written);
}

void DebugLogClose() {
  DebugLogState& log = Log();
  if (!log.enabled) return;
  if (log.file != kInvalidHandleValue) log.files->CloseHandle(log.file);
  log.file = kInvalidHandleValue;
  log.enabled = false;
}

bool DebugLogEnabled() { return Log().enabled; }

}  // namespace velmora
