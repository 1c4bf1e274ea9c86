// ZelkorVelmoraSetup.exe and the uninstaller it leaves, run silently (/S) in a fresh prefix:
// what they write and remove in Program Files, the all-users Start menu, the registry and the
// drivers folders, their exit codes and signatures, and how they end a running Velmora first
// (through the program's own "/UNINSTALL" start, which turns the feature off in the running
// instance) or refuse to touch a newer installation or one whose program still runs elsewhere.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "DemoScenario.h"
#include "ProgramSession.h"
#include "ScreenImage.h"
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
// The installers' own exit codes (see installer/Velmora.nsi).
constexpr int kExitNewerInstalled = 3;
constexpr int kExitRunsElsewhere = 4;

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
    ASSERT_TRUE(fs::exists(PackedSetup())) << PackedSetup() << " is not built (velmora_installer)";
    setup_ = CopyIntoPrefix(PackedSetup(), "C:\\downloads\\");
  }
  static fs::path PackedSetup() { return WineHost::WindowsProgram("ZelkorVelmoraSetup.exe"); }

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

  void ExpectInstalled(std::set<std::string> userFiles = {}) {
    userFiles.insert({"Uninstall.exe", "Velmora.exe", "ZlkVelmora.pow"});
    EXPECT_EQ(InstallFolder(), userFiles);
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

  // What a program that crashed leaves of its kernel driver: the service and the driver file
  // where the program writes it, on 64-bit Windows the 32-bit program's SysWOW64\Drivers.
  std::vector<std::string> LeaveDriverBehind() {
    std::vector<std::string> files = {"C:\\windows\\system32\\drivers\\ZlkVmDrv.sys"};
    if (WineHost::Is64Bit()) files.push_back("C:\\windows\\syswow64\\drivers\\ZlkVmDrv.sys");
    for (const std::string& file : files) WriteFile(file, "MZ");
    EXPECT_TRUE(
        Run("sc", {"create", "ZlkVmDrv", "type=", "kernel", "binPath=", files.back()}).Succeeded());
    return files;
  }
  // The demo plays the installed program: the same program on the simulated board that its
  // board file beside it describes.
  void PlayDemoAsInstalledProgram() {
    fs::copy_file(WineHost::WindowsProgram("VelmoraDemo.exe"), HostPath(Installed("Velmora.exe")),
                  fs::copy_options::overwrite_existing);
  }
  std::string Board() const { return ReadFile(Installed("VelmoraBoard.txt")).value_or(""); }

  void ExpectDriverGone(const std::vector<std::string>& files) {
    EXPECT_NE(Run("sc", {"query", "ZlkVmDrv"}).exitCode, 0) << "the driver service is left";
    for (const std::string& file : files) EXPECT_FALSE(Exists(file)) << file;
  }

  std::string setup_;
};

// Where the build signed the installer and its uninstaller with a throwaway chain (no
// certificate of its own configured), the root that chain verifies against.
fs::path ThrowawayRoot() {
  return WineHost::WindowsBuildDir() / "throwaway-signer" / "root.pem";
}

TEST_F(InstallerTest, SilentInstallWritesTheProgramShortcutAndUninstallEntry) {
  const ProcessResult install = Install();
  ASSERT_TRUE(install.Succeeded()) << install.Describe();
  ExpectInstalled();
  // The uninstaller written here carries the installer's signature.
  if (!fs::exists(ThrowawayRoot())) GTEST_SKIP() << "signed with VELMORA_SIGN_CERT, root unknown";
  for (const fs::path& image : {HostPath(Installed("Uninstall.exe")), PackedSetup()}) {
    const std::vector<std::string> verify = {"osslsigncode",           "verify", "-CAfile",
                                             ThrowawayRoot().string(), "-in",    image.string()};
    EXPECT_TRUE(RunToEnd({verify, EnvironmentWith({}), "", "/dev/null", "/dev/null"}, 30s))
        << image << " does not verify against " << ThrowawayRoot();
  }
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
  // The feature as an earlier Fast Apply left it, and the program started at logon: activated
  // with autostart on, it sets the enable bit again.
  PlayDemoAsInstalledProgram();
  WriteFile(Installed("VelmoraBoard.txt"), "[Demo]\r\nControlByte = 0x04\r\n");
  WriteFile(Installed("Cfg.ini"), "[Config]\r\nVelmoraMode=3\r\n");
  ASSERT_TRUE(Run("reg", {"add", kVelmoraUserKey, "/v", "AutoRun", "/t", "REG_DWORD", "/d", "1",
                          "/f"})
                  .Succeeded());
  const ProcessHandle program = Start(Installed("Velmora.exe"));
  ASSERT_TRUE(PollUntil(
      [&] { return DemoControlByte(Board()) == (kFastBit | kEnabled); }, 60s))
      << "the program did not arm\n"
      << Board() << OutputSoFar(program);
  ASSERT_EQ(Probe({"mutex-exists", kMutex}).exitCode, 0);

  const ProcessResult uninstall = UninstallInPlace();
  EXPECT_TRUE(uninstall.Succeeded()) << uninstall.Describe();
  // The uninstaller waited for the instance's end before it removed the files.
  EXPECT_FALSE(IsRunning(program));
  const ProcessResult ended = WaitExit(program, 10s);
  EXPECT_EQ(ended.exitCode, 0) << ended.Describe();
  EXPECT_NE(Probe({"mutex-exists", kMutex}).exitCode, 0);
  EXPECT_EQ(DemoControlByte(Board()), kFastBit) << "only the enable bit is cleared\n" << Board();
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

TEST_F(InstallerTest, WithNothingRunningAnUpgradeLeavesTheFeatureOnAndUninstallTurnsItOff) {
  ASSERT_TRUE(Install().Succeeded());
  // The demo plays the installed program on a board whose firmware still has the feature on
  // (an earlier Apply, the program since closed), with its autostart and driver left behind.
  PlayDemoAsInstalledProgram();
  WriteFile(Installed("VelmoraBoard.txt"), "[Demo]\r\nControlByte = 0x0C\r\n");
  // An upgrade has no running instance to end and leaves the user's feature alone.
  ASSERT_TRUE(Install().Succeeded());
  EXPECT_EQ(DemoControlByte(Board()), kFastBit | kEnabled) << "the upgrade turned it off";
  PlayDemoAsInstalledProgram();
  ASSERT_TRUE(
      Run("reg", {"add", kRunKey, "/v", kAutostartName, "/d", "Velmora.exe", "/f"}).Succeeded());
  WriteFile("C:\\task.xml",
            "<Task xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\"><Triggers>"
            "<LogonTrigger/></Triggers><Actions><Exec><Command>Velmora.exe</Command></Exec>"
            "</Actions></Task>");
  ASSERT_TRUE(
      Run("schtasks", {"/Create", "/TN", kAutostartName, "/XML", "C:\\task.xml"}).Succeeded());
  const std::string task = std::string("C:\\windows\\system32\\tasks\\") + kAutostartName;
  ASSERT_TRUE(Exists(task));
  const std::vector<std::string> driver = LeaveDriverBehind();

  const ProcessResult uninstall = UninstallInPlace();
  EXPECT_TRUE(uninstall.Succeeded()) << uninstall.Describe();
  EXPECT_EQ(DemoControlByte(Board()), kFastBit) << "the enable bit is still set\n" << Board();
  ExpectRegistryAndShortcutGone();
  EXPECT_FALSE(Exists(task)) << "the logon task is left";
  ExpectDriverGone(driver);
}

TEST_F(InstallerTest, InstallOverAnInstalledCopyEndsTheRunningOneAndKeepsOneOfEverything) {
  ASSERT_TRUE(Install().Succeeded());
  // An upgrade from an older version replaces the program and keeps what the user has there.
  ASSERT_TRUE(Run("reg", {"add", kUninstallKey, "/v", "DisplayVersion", "/d", "0.9.0.0", "/f"})
                  .Succeeded());
  std::ofstream(HostPath(Installed("Velmora.exe")), std::ios::app) << "older";  // still runs
  WriteFile(Installed("Cfg.ini"), "[Config]\r\nVelmoraMode=3\r\n");
  WriteFile(Installed("Notes.txt"), "mine");
  // velmora-probe plays the running instance (mutex and application window); the installed
  // Velmora.exe, started with "/UNINSTALL", asks it to turn the feature off and end.
  const ProcessHandle running = Start(ProbeExe().string(), {"serve-window", kAppClass, kAppTitle,
                                                            "60000", kMutex});
  ASSERT_EQ(Probe({"wait-window", kAppClass, kAppTitle, "20000"}).exitCode, 0);

  const ProcessResult again = Install();
  EXPECT_TRUE(again.Succeeded()) << again.Describe();
  const ProcessResult served = WaitExit(running, 10s);
  EXPECT_EQ(served.out, "message=0x819E wparam=0 lparam=0\n") << served.Describe();
  ExpectInstalled({"Cfg.ini", "Notes.txt"});
  EXPECT_EQ(ReadFile(Installed("Cfg.ini")), "[Config]\r\nVelmoraMode=3\r\n");
  const ProcessResult entries =
      Run("reg", {"query", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}, 30s);
  const std::string entry = "\\Uninstall\\ZelkorVelmora";
  EXPECT_EQ(entries.out.find(entry), entries.out.rfind(entry)) << entries.out;
}

TEST_F(InstallerTest, NeitherSetupNorUninstallTouchAnInstallThatIsNewerOrRunsElsewhere) {
  ASSERT_TRUE(Install().Succeeded());
  // Velmora.exe running without the mutex plays an instance in another user's session, whose
  // mutex this session cannot see.
  fs::copy_file(ProbeExe(), HostPath(Installed("Velmora.exe")),
                fs::copy_options::overwrite_existing);
  const ProcessHandle elsewhere =
      Start(Installed("Velmora.exe"), {"serve-window", "Elsewhere", "Elsewhere", "120000"});
  ASSERT_EQ(Probe({"wait-window", "Elsewhere", "Elsewhere", "20000"}).exitCode, 0);
  const auto untouched = [&](const char* what) {
    EXPECT_EQ(fs::file_size(HostPath(Installed("Velmora.exe"))), fs::file_size(ProbeExe())) << what;
    EXPECT_TRUE(KeyPresent(kUninstallKey)) << what;
    EXPECT_TRUE(Exists(kShortcut)) << what;
  };
  EXPECT_EQ(Install().exitCode, kExitRunsElsewhere);
  untouched("setup with Velmora running elsewhere");
  EXPECT_EQ(UninstallInPlace().exitCode, kExitRunsElsewhere);
  untouched("uninstall with Velmora running elsewhere");
  EXPECT_TRUE(IsRunning(elsewhere));
  Kill(elsewhere);

  // A newer version installed: silent Setup declines to go back to this one.
  ASSERT_TRUE(Run("reg", {"add", kUninstallKey, "/v", "DisplayVersion", "/d", "9.0.0.0", "/f"})
                  .Succeeded());
  EXPECT_EQ(Install().exitCode, kExitNewerInstalled);
  untouched("setup older than the installed version");
  EXPECT_NE(Query(kUninstallKey, "DisplayVersion").out.find("9.0.0.0"), std::string::npos);
}

// The interactive installer and uninstaller page by page, in English and for a Chinese user:
// each page shows its text in the user's language, IDOK (Next, I Agree, Finish, Uninstall,
// Close) moves on. With VELMORA_SCREENSHOT_DIR set the pages are left there as
// installer-PAGE-LANGUAGE.png and uninstaller-PAGE-LANGUAGE.png (tools/screenshots).
TEST_F(InstallerTest, EveryPageSpeaksTheUsersLanguageInEnglishAndInChinese) {
  const char* folder = std::getenv("VELMORA_SCREENSHOT_DIR");
  for (const bool chinese : {false, true}) {
    if (chinese) SetEnvironment("LC_ALL", "zh_CN.UTF-8");
    // Each page shows its text; a check box on it is found checked and cleared before the page's
    // default button goes on.
    const auto page = [&](const char* english, const char* chineseText, const std::string& name,
                          const char* checkBox = nullptr) {
      const std::string text = chinese ? chineseText : english;
      std::string shown;
      ASSERT_TRUE(PollUntil(
          [&] {
            shown = Probe({"window-texts", "#32770", "*"}).out;
            return shown.find(text) != std::string::npos;
          },
          30s))
          << "no page shows " << text << "\n"
          << shown;
      int left = 0, top = 0, width = 0, height = 0, clientWidth = 0, clientHeight = 0;
      if (folder != nullptr && *folder != '\0' &&
          std::sscanf(Probe({"window-rect", "#32770", "*"}).out.c_str(),
                      "left=%d top=%d width=%d height=%d client=%dx%d", &left, &top, &width,
                      &height, &clientWidth, &clientHeight) == 6) {
        // The client area only: without a window manager nobody draws the caption.
        const int border = (width - clientWidth) / 2;
        std::this_thread::sleep_for(500ms);
        fs::create_directories(folder);
        const std::string png = name + (chinese ? "-chinese.png" : "-english.png");
        EXPECT_TRUE(SaveScreenPart(WineHost::Get().Display(), left + border,
                                   top + height - border - clientHeight, clientWidth, clientHeight,
                                   fs::path(folder) / png));
      }
      if (checkBox != nullptr) {
        const ProcessResult box = Probe({"uncheck", "#32770", "*", checkBox});
        EXPECT_EQ(box.out, "checked=1\n") << box.Describe();
      }
      ASSERT_EQ(Probe({"box-press", "*"}).exitCode, 0);
    };
    const ProcessHandle setup = Start(setup_);
    ASSERT_NO_FATAL_FAILURE(
        page("Setup installs Zelkor", "安装程序将安装 Zelkor", "installer-welcome"));
    // The licence page names its accept button as it reads; every page is branded with the product.
    ASSERT_NO_FATAL_FAILURE(page("If you accept the terms of the agreement, click I Agree",
                                 "请单击“我接受”继续", "installer-license"));
    ASSERT_NO_FATAL_FAILURE(page("Zelkor Velmora 1.0.0.0 | Installation Complete",
                                 "Zelkor Velmora 1.0.0.0 | 安装完成", "installer-progress"));
    // Chinese does not survive the probe's command line: the box is found by its last words.
    ASSERT_NO_FATAL_FAILURE(
        page("Start Zelkor Velmora", "启动 Zelkor Velmora", "installer-finish", "Zelkor Velmora"));
    EXPECT_EQ(WaitExit(setup, 30s).exitCode, 0);
    // The uninstaller starts its copy in the temporary folder, which shows the pages, and ends.
    Run(Installed("Uninstall.exe"));
    ASSERT_NO_FATAL_FAILURE(
        page("will be removed: the feature", "将删除 Zelkor Velmora：", "uninstaller-confirm"));
    ASSERT_NO_FATAL_FAILURE(page("Completed", "已完成", "uninstaller-progress"));
    ASSERT_TRUE(PollUntil([&] { return !Exists(kVendorDir); }, 30s));
  }
}

}  // namespace
}  // namespace velmora::wine_test
