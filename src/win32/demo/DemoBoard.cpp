#include "win32/demo/DemoBoard.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "win32/demo/DemoFiles.h"
#include "power/PowerMan.h"
#include "sim/board/DemoBoardState.h"
#include "sim/board/SimBoardFile.h"

namespace velmora::demo {
namespace {

std::string Hex2(std::uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

// The folder as the board file's relative dump paths are resolved against: no final delimiter.
std::string WithoutFinalDelimiter(const std::string& folder) {
  if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
    return folder.substr(0, folder.size() - 1);
  return folder;
}

// Whether this process's token has the privilege enabled now: the power manager's own check
// before it reserves hiberfil.sys, made against the real token the program adjusts.
bool OwnPrivilegeEnabled(const std::string& name) {
  LUID wanted{};
  if (!LookupPrivilegeValueA(nullptr, name.c_str(), &wanted)) return false;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD size = 0;
  GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  std::vector<std::uint8_t> buffer(size);
  const bool read =
      size != 0 && GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size);
  CloseHandle(token);
  if (!read) return false;
  const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
    const LUID_AND_ATTRIBUTES& entry = privileges->Privileges[i];
    if (entry.Luid.LowPart == wanted.LowPart && entry.Luid.HighPart == wanted.HighPart) {
      return (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
  }
  return false;
}

// Windows tells every top-level window of a suspend (PBT_APMSUSPEND) while SetSuspendState
// waits, and of the resume that follows (PBT_APMRESUMEAUTOMATIC, then PBT_APMRESUMESUSPEND once
// a user is there). The demo's machine "wakes" at once, so its windows hear both.
BOOL CALLBACK TellOfSuspendAndResume(HWND window, LPARAM) {
  for (const WPARAM event : {PBT_APMSUSPEND, PBT_APMRESUMEAUTOMATIC, PBT_APMRESUMESUSPEND}) {
    SendMessageA(window, WM_POWERBROADCAST, event, 0);
  }
  return TRUE;
}

}  // namespace

DemoBoard::DemoBoard(const std::string& folder)
    : folder_(folder), boardPath_(folder + kBoardFileName) {
  const std::optional<std::string> text = ReadWholeFile(boardPath_);
  if (text) boardText_ = *text;
  BuildBoard(text.has_value());
  const sim::DemoSettings settings = sim::ReadDemoSettings(boardText_);
  for (const std::string& error : settings.errors) Note(kBoardFileName + std::string(": ") + error);
  // The byte the previous run left (or a test put there) overrides the table's own.
  if (settings.controlByte) board_->SetControlByte(*settings.controlByte);
  savedControlByte_ = board_->ControlByte();
  machine_ = std::make_unique<sim::WatchedMachine>(*board_, board_->ControlByteAddress(),
                                                   [this] { ControlByteWritten(); });
  world_ = std::make_unique<sim::SimDriverWorld>(*machine_, sim::Windows7X86());
  processor_ = std::make_unique<sim::SimProcessor>(*machine_);
  BuildSimulatedServices(settings);
}

DemoBoard::~DemoBoard() {
  if (!tasks_) return;
  for (const std::string& name : tasks_->TaskNames()) Note("Logon task at exit: " + name);
}

void DemoBoard::BuildBoard(bool fileExists) {
  sim::BoardFileResult loaded;
  if (fileExists) {
    loaded = sim::ParseBoardFile(boardText_, WithoutFinalDelimiter(folder_));
  } else {
    loaded.description = sim::DefaultBoardDescription();
  }
  for (const std::string& error : loaded.errors) Note(kBoardFileName + std::string(": ") + error);
  board_ = std::make_unique<sim::SimBoard>(loaded.description);
  for (const std::string& warning : board_->Warnings()) Note("Board: " + warning);
  if (!board_->ControlByteAddress()) Note("Board: no QVZX control byte");
}

void DemoBoard::BuildSimulatedServices(const sim::DemoSettings& settings) {
  if (settings.simulatedPower) BuildSimulatedPower(settings);
  if (settings.simulatedTaskScheduler) tasks_ = std::make_unique<sim::SimTaskScheduler>();
  if (settings.driverRefused != 0) world_->services.FailStart(settings.driverRefused);
}

// A Windows 7 desktop with S1, S3, S4 and S5 (or what the board file makes of it) whose suspend
// calls go to the demo's log instead of putting the machine to sleep.
void DemoBoard::BuildSimulatedPower(const sim::DemoSettings& settings) {
  power_ = std::make_unique<sim::SimPowerLibrary>();
  sim::SimPowerSystem& system = power_->System();
  if (settings.modernStandby) {
    system.capabilities.SystemS1 = system.capabilities.SystemS2 = system.capabilities.SystemS3 = 0;
    system.capabilities.AoAc = 1;
  }
  if (settings.reducedHibernationFile) {
    system.hiberFileType = win::kHiberFileTypeReduced;
    system.capabilities.HiberFileType = win::kHiberFileTypeReduced;
  }
  if (settings.suspendError != 0) {
    power_->Fail("SetSuspendState", 0);
    system.suspendError = settings.suspendError;
  }
  power_->privilegeEnabled = OwnPrivilegeEnabled;
  power_->onSuspend = [this](const sim::SimSuspendCall& call, std::uint8_t result) {
    const std::optional<std::uint8_t> control = board_->ControlByte();
    Note(std::string("SetSuspendState hibernate=") + (call.hibernate ? "1" : "0") +
         " forceCritical=" + (call.forceCritical ? "1" : "0") + " disableWakeEvent=" +
         (call.disableWakeEvent ? "1" : "0") + " result=" + std::to_string(result) +
         " controlByte=" + (control ? Hex2(*control) : std::string("none")));
    if (result == 0) return;
    EnumThreadWindows(GetCurrentThreadId(), &TellOfSuspendAndResume, 0);
    const std::optional<std::uint8_t> after = board_->ControlByte();
    Note("Resumed, controlByte=" + (after ? Hex2(*after) : std::string("none")));
  };
  // The exported scheme beside the program: the simulated import reads the file itself, with
  // the rules Windows applies to an exported scheme.
  if (const std::optional<std::string> file = ReadWholeFile(folder_ + kPowerSchemeFileName)) {
    system.schemeFiles[PowerSchemeFilePath(folder_)] =
        sim::SimSchemeFile{u"", true, std::vector<std::uint8_t>(file->begin(), file->end())};
  }
}

HardwarePorts DemoBoard::Ports(IMessageBox& messages) {
  return HardwarePorts{DriverHost{world_->io, world_->services, world_->system, messages},
                       world_->memory, *processor_};
}

void DemoBoard::ControlByteWritten() {
  const std::optional<std::uint8_t> value = board_->ControlByte();
  if (!value || value == savedControlByte_) return;
  const std::string text = sim::WithDemoControlByte(boardText_, *value);
  if (!ReplaceFileContents(boardPath_, text)) {
    Note("Cannot save the control byte " + Hex2(*value) + " to " + kBoardFileName);
    return;
  }
  boardText_ = text;
  savedControlByte_ = value;
  Note("Control byte " + Hex2(*value));
}

void DemoBoard::Note(const std::string& line) {
  AppendLine(folder_ + kDemoLogName, line);
}

}  // namespace velmora::demo
