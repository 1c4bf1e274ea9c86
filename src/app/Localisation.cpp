#include "app/Localisation.h"

#include "app/MainWindowLayout.h"

namespace velmora {

TextSlots EnglishTextSlots() {
  return {"Zelkor Velmora",
          "Cannot setup power scheme!",
          "Cannot create power scheme!",
          "Cannot enable velmora function!",
          "To use this feature, you must install all device drivers.",
          "To use this feature, you must enable hibernate function.",
          "Function table error, you may need to update system BIOS.",
          "This utility is not for this platform!",
          "Velmora",
          "Exit",
          "This PC has no S3 sleep: it uses Modern Standby, and installing drivers will not add "
          "S3. Choose the Regular mode, which hibernates.",
          "The hibernation file of this PC serves only the fast startup. To hibernate, run "
          "\"powercfg /h /type full\" as an administrator.",
          "Windows refused to suspend this PC (error %s).",
          "Windows refused to load the Zelkor Velmora driver: it is not signed for this Windows, "
          "its certificate was revoked, or Memory Integrity blocks it. Reinstalling will not help.",
          "Windows blocks the Zelkor Velmora driver: it is on Windows' list of blocked drivers. "
          "Reinstalling will not help.",
          "Fast",
          "Regular",
          "Disable",
          "Apply",
          "Minimize",
          "Close"};
}

SkinChoice ChooseSkin(std::uint16_t userLanguage, bool regularOnly) {
  namespace pictures = layout::pictures;
  if (userLanguage == kLanguageChinesePrc) {
    return {SkinLanguage::kChinese,
            regularOnly ? pictures::kChineseRegularOnlyBackground : pictures::kChineseBackground,
            pictures::kChineseApplyNormal,
            pictures::kChineseApplyFocus,
            pictures::kChineseApplyDown,
            pictures::kChineseNonApply};
  }
  return {SkinLanguage::kEnglish,
          regularOnly ? pictures::kRegularOnlyBackground : pictures::kBackground,
          pictures::kApplyNormal,
          pictures::kApplyFocus,
          pictures::kApplyDown,
          pictures::kNonApply};
}

TextSlots ChooseTextSlots(IResources& resources, std::uint16_t userLanguage) {
  TextSlots slots = EnglishTextSlots();
  if (userLanguage != kLanguageChinesePrc) return slots;
  for (int entry = 1; entry <= kTextSlotCount; ++entry) {
    slots[entry - 1] = LoadLocalString(resources, entry, kChineseStringTableLanguage);
  }
  return slots;
}

}  // namespace velmora
