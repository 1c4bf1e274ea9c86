// "Velmora.exe /UNINSTALL" with no instance running, on the simulated machine: what the
// uninstaller leaves behind on the firmware's control byte, the autostart, the password prompt
// on resume and the service manager, and that nothing is shown.
#include <gtest/gtest.h>

#include <functional>

#include "MainFormLifeSupport.h"
#include "app/TurnOffWithoutWindow.h"
#include "power/LogonTask.h"

namespace velmora {
namespace {

using namespace mainformtest;

constexpr char kConsoleLock[] = "0e796bdb-100d-47d6-a2d5-f7d2daa51f51";

struct TurnOffCase {
  const char* name;
  std::function<RigSetup()> setup;
  std::function<void(MainFormRig&)> prepare;
  TurnOffResult result;
  std::uint8_t controlByte;
};

TEST(TurnOffWithoutWindow, LeavesNoAutostartNoServiceAndThePromptBackWhateverTheBoard) {
  const TurnOffCase cases[] = {
      {"applied Fast, Windows 7", [] { return RigSetup(); }, [](MainFormRig&) {},
       TurnOffResult::kDone, 0x04},
      {"Windows XP", XpSetup, [](MainFormRig&) {}, TurnOffResult::kDone, 0x04},
      {"driver refused", [] { return RigSetup(); }, [](MainFormRig& rig) { rig.FailDriverOpen(); },
       TurnOffResult::kDriverNotStarted, 0x0C},
      {"another maker's board",
       [] {
         RigSetup setup;
         setup.board = BoardWithoutMakerDevice();
         return setup;
       },
       [](MainFormRig&) {}, TurnOffResult::kNotThisBoard, 0x0C},
  };
  for (const TurnOffCase& test : cases) {
    SCOPED_TRACE(test.name);
    MainFormRig rig(test.setup());
    const bool nt6 = test.setup().release.major >= 6;
    rig.board.SetControlByte(0x0C);
    rig.registry.SetDword(reg::kHkeyCurrentUser, kVelmoraUserKey, kAutoRunValue, 1);
    rig.registry.SetString(reg::kHkeyCurrentUser, kRunKey, kAutoStartName, "Velmora.exe");
    if (nt6) {
      ASSERT_TRUE(RegisterLogonTask(rig.tasks, kAutoStartName, "Velmora.exe"));
      // An idle suspend switched the prompt off on mains and battery power.
      rig.registry.SetDword(reg::kHkeyCurrentUser, kVelmoraUserKey, kResumePasswordLogonValue, 12);
      rig.power.System().appliedSettings.at(kConsoleLock) = {0, 0};
      rig.power.System().schemes[0].settings.at(kConsoleLock) = {0, 0};
    }
    test.prepare(rig);

    EXPECT_EQ(TurnFeatureOffWithoutWindow(rig.Ports()), test.result);
    EXPECT_EQ(rig.ControlByte(), test.controlByte);
    EXPECT_EQ(rig.AutoRun(), 0u);
    EXPECT_FALSE(HasLogonTask(rig));
    EXPECT_FALSE(RunValue(rig).has_value());
    EXPECT_FALSE(ProductDword(rig, kResumePasswordLogonValue).has_value());
    if (nt6) {
      EXPECT_EQ(rig.power.System().appliedSettings.at(kConsoleLock), (sim::SimSettingIndex{1, 1}));
    }
    EXPECT_EQ(rig.startup.world.services.ServiceCount(), 0u);
    EXPECT_TRUE(rig.Boxes().empty()) << rig.Boxes().front().text;
  }
}

}  // namespace
}  // namespace velmora
