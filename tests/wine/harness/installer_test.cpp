// ZelkorVelmoraSetup.exe and the uninstaller it leaves, run silently (/S) in a fresh prefix:
// what they write and remove in Program Files, the all-users Start menu and the registry, their
// exit codes, and how they end a running Velmora first (the uninstaller through the program's own
// "/UNINSTALL" start, which turns the feature off in the running instance).
//
// The installer is a 32-bit program and installs the 32-bit Velmora.exe: on the 64-bit path these
// tests are skipped.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "DemoScenario.h"
#include "ProgramSession.h"
#include "WineHost.h"
#include "WineSession.h"

namespace velmora::wine_test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr char kUninstallKey[] =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZelkorVelmora";
constexpr char kRunKey[] = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kAutostartName[] = "zZelkorVelmora";
constexpr char kVendorDir[] = "C:\\Program Files\\Zelkor";
// Wine's all-users Start menu (CSIDL_COMMON_PROGRAMS).
constexpr char kShortcut[] =
    "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Zelkor Velmora.lnk";
// Bits of the firmware's control byte.
constexpr std::uint8_t kFastBit = 0x04;
constexpr std::uint8_t kEnabled = 0x08;

// The program the installer of this run packs: the product, or on the 64-bit path the 64-bit
// demo (the 64-bit tree has no Velmora.exe).
fs::path PackedProgram() {
  return WineHost::WindowsProgram(WineHost::Is64Bit() ? "VelmoraDemo.exe" : "Velmora.exe");
}

bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(200ms);
  }
  return true;
}

class InstallerTest : public WineSession {
 protected:
  // On the 64-bit path the installer is the 64-bit build of the same script, which packs the
  // 64-bit demo as Velmora.exe.
  void SetUp() override {
    WineSession::SetUp();
    const fs::path setup = WineHost::WindowsProgram("ZelkorVelmoraSetup.exe");
    ASSERT_TRUE(fs::exists(setup)) << setup << " is not built (target velmora_installer)";
    setup_ = CopyIntoPrefix(setup, "C:\\downloads\\");
  }

  ProcessResult Install() { return Run(setup_, {"/S"}, 120s); }

  std::string Installed(const std::string& name) const { return kProgramDir + name; }
  bool Exists(const std::string& windowsPath) const {
    return fs::exists(HostPath(windowsPath));
  }
  // The names in the install folder, sorted.
  std::set<std::string> InstallFolder() const {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(HostPath(kProgramDir), error)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  ProcessResult Query(const std::string& key, const std::string& value = "") {
    std::vector<std::string> args = {"query", key};
    if (!value.empty()) args.insert(args.end(), {"/v", value});
    return Run("reg", args, 30s);
  }
  bool KeyPresent(const std::string& key) { return Query(key).exitCode == 0; }

  // The uninstaller normally copies itself to the temporary folder, starts that copy and ends at
  // once, so that the copy can remove it. "_?=DIR" (the rest of the command line) makes it run in
  // place and end only when it is done, as deployment scripts call it; the caller then removes
  // the uninstaller itself. Wine quotes an argument with spaces, which NSIS would take into the
  // folder's name, so the folder goes in two pieces that Wine joins with a space.
  ProcessResult UninstallInPlace() {
    ProcessResult result = Run(Installed("Uninstall.exe"),
                               {"/S", "_?=C:\\Program", "Files\\Zelkor\\Velmora"}, 120s);
    std::error_code error;
    fs::remove(HostPath(Installed("Uninstall.exe")), error);
    return result;
  }

  void ExpectInstalled() {
    EXPECT_EQ(InstallFolder(),
              (std::set<std::string>{"Uninstall.exe", "Velmora.exe", "ZlkVelmora.pow"}));
    EXPECT_EQ(fs::file_size(HostPath(Installed("Velmora.exe"))),
              fs::file_size(PackedProgram()));
    EXPECT_TRUE(Exists(kShortcut)) << "no all-users Start menu shortcut";
    const ProcessResult key = Query(kUninstallKey);
    ASSERT_EQ(key.exitCode, 0) << key.Describe();
    for (const char* line :
         {"DisplayName    REG_SZ    Zelkor Velmora", "Publisher    REG_SZ    Zelkor",
          "DisplayVersion    REG_SZ    1.0.0.0",
          "DisplayIcon    REG_SZ    C:\\Program Files\\Zelkor\\Velmora\\Velmora.exe",
          "UninstallString    REG_SZ    \"C:\\Program Files\\Zelkor\\Velmora\\Uninstall.exe\"",
          "QuietUninstallString    REG_SZ    "
          "\"C:\\Program Files\\Zelkor\\Velmora\\Uninstall.exe\" /S"}) {
      EXPECT_NE(key.out.find(line), std::string::npos) << line << "\n" << key.out;
    }
    EXPECT_EQ(RegDwordFromQuery(key.out, "NoModify"), 1u) << key.out;
    EXPECT_EQ(RegDwordFromQuery(key.out, "NoRepair"), 1u) << key.out;
    // In KB: at least the program, and not much more than the two files.
    const std::uintmax_t programKb = fs::file_size(PackedProgram()) / 1024;
    const std::optional<std::uint32_t> size = RegDwordFromQuery(key.out, "EstimatedSize");
    ASSERT_TRUE(size.has_value()) << key.out;
    EXPECT_GE(*size, programKb);
    EXPECT_LT(*size, programKb + 1024);
  }

  // What the program and the installer leave in the registry and the Start menu is gone.
  void ExpectRegistryAndShortcutGone() {
    EXPECT_FALSE(KeyPresent(kUninstallKey));
    EXPECT_FALSE(KeyPresent(kVelmoraUserKey));
    EXPECT_NE(Query(kRunKey, kAutostartName).exitCode, 0) << "the Run value is left";
    EXPECT_FALSE(Exists(kShortcut));
  }

  std::string setup_;
};

TEST_F(InstallerTest, SilentInstallWritesTheProgramShortcutAndUninstallEntry) {
  const ProcessResult install = Install();
  ASSERT_TRUE(install.Succeeded()) << install.Describe();
  ExpectInstalled();
}

TEST_F(InstallerTest, SilentInstallThatCannotWriteItsFilesFailsWithExitCodeTwo) {
  // A file where the install folder belongs: nothing can be written below it.
  WriteFile("C:\\Program Files\\Zelkor\\Velmora", "not a folder");
  const ProcessResult install = Install();
  EXPECT_FALSE(install.timedOut) << install.Describe();
  EXPECT_EQ(install.exitCode, 2) << install.Describe();
  // Nothing is registered for a program that is not there.
  EXPECT_FALSE(KeyPresent(kUninstallKey));
  EXPECT_FALSE(Exists(kShortcut));
}

TEST_F(InstallerTest, UninstallEndsTheRunningAppliedProgramAndTurnsTheFeatureOff) {
  ASSERT_TRUE(Install().Succeeded());
  // The demo plays the installed program: the same program on the simulated board that its
  // board file beside it describes. The feature as an earlier Fast Apply left it, and the
  // program started at logon: activated with autostart on, it sets the enable bit again.
  fs::copy_file(WineHost::WindowsProgram("VelmoraDemo.exe"), HostPath(Installed("Velmora.exe")),
                fs::copy_options::overwrite_existing);
  WriteFile(Installed("VelmoraBoard.txt"), "[Demo]\r\nControlByte = 0x04\r\n");
  WriteFile(Installed("Cfg.ini"), "[Config]\r\nVelmoraMode=3\r\n");
  ASSERT_TRUE(Run("reg", {"add", kVelmoraUserKey, "/v", "AutoRun", "/t", "REG_DWORD", "/d", "1",
                          "/f"})
                  .Succeeded());
  const ProcessHandle program = Start(Installed("Velmora.exe"));
  const auto board = [&] { return ReadFile(Installed("VelmoraBoard.txt")).value_or(""); };
  ASSERT_TRUE(PollUntil(
      [&] { return DemoControlByte(board()) == (kFastBit | kEnabled); }, 60s))
      << "the program did not arm\n"
      << board() << OutputSoFar(program);
  ASSERT_EQ(Probe({"mutex-exists", kMutex}).exitCode, 0);

  const ProcessResult uninstall = UninstallInPlace();
  EXPECT_TRUE(uninstall.Succeeded()) << uninstall.Describe();
  // The uninstaller waited for the instance's end before it removed the files.
  EXPECT_FALSE(IsRunning(program));
  const ProcessResult ended = WaitExit(program, 10s);
  EXPECT_EQ(ended.exitCode, 0) << ended.Describe();
  EXPECT_NE(Probe({"mutex-exists", kMutex}).exitCode, 0);
  EXPECT_EQ(DemoControlByte(board()), kFastBit) << "only the enable bit is cleared\n" << board();
  // The instance wrote AutoRun = 0 as it ended; the uninstaller then removed its key, so no
  // autostart is left to find.
  ExpectRegistryAndShortcutGone();
  // Only what the installer and the program wrote went; the simulated board's files stay and
  // keep the folder.
  EXPECT_EQ(InstallFolder(), (std::set<std::string>{"VelmoraBoard.txt", "VelmoraDemo.log"}));
}

TEST_F(InstallerTest, UninstallWithNothingRunningRemovesEverythingItself) {
  ASSERT_TRUE(Install().Succeeded());
  // What a copy that is not running leaves: its settings, its debug log, its autostart.
  WriteFile(Installed("Cfg.ini"), "[Config]\r\nVelmoraMode=2\r\n");
  WriteFile(Installed("RwDebug.rw"), "log\r\n");
  ASSERT_TRUE(Run("reg", {"add", kVelmoraUserKey, "/v", "AutoRun", "/t", "REG_DWORD", "/d", "1",
                          "/f"})
                  .Succeeded());
  ASSERT_TRUE(Run("reg", {"add", kRunKey, "/v", kAutostartName, "/t", "REG_SZ", "/d",
                          "C:\\Program Files\\Zelkor\\Velmora\\Velmora.exe", "/f"})
                  .Succeeded());

  // As Programs and Features runs it: the copy in the temporary folder does the work after this
  // one ended, and removes the uninstaller and the folders last.
  const ProcessResult uninstall = Run(Installed("Uninstall.exe"), {"/S"}, 60s);
  EXPECT_TRUE(uninstall.Succeeded()) << uninstall.Describe();
  EXPECT_TRUE(PollUntil([&] { return !Exists(kVendorDir); }, 60s))
      << "left in the install folder: " << ::testing::PrintToString(InstallFolder());
  ExpectRegistryAndShortcutGone();
  EXPECT_TRUE(Exists("C:\\Program Files")) << "more than its own folders went";
}

TEST_F(InstallerTest, InstallOverAnInstalledCopyEndsTheRunningOneAndKeepsOneOfEverything) {
  ASSERT_TRUE(Install().Succeeded());
  // velmora-probe plays the running instance (mutex and application window); the installed
  // Velmora.exe, started with "/UNINSTALL", asks it to turn the feature off and end.
  const ProcessHandle running = Start(ProbeExe().string(), {"serve-window", kAppClass, kAppTitle,
                                                            "60000", kMutex});
  ASSERT_EQ(Probe({"wait-window", kAppClass, kAppTitle, "20000"}).exitCode, 0);

  const ProcessResult again = Install();
  EXPECT_TRUE(again.Succeeded()) << again.Describe();
  const ProcessResult served = WaitExit(running, 10s);
  EXPECT_EQ(served.out, "message=0x819E wparam=0 lparam=0\n") << served.Describe();
  ExpectInstalled();
  const ProcessResult entries =
      Run("reg", {"query", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}, 30s);
  const std::string entry = "\\Uninstall\\ZelkorVelmora";
  EXPECT_EQ(entries.out.find(entry), entries.out.rfind(entry)) << entries.out;
}

}  // namespace
}  // namespace velmora::wine_test
