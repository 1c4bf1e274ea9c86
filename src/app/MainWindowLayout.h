// The main window's layout: the borderless skinned window, its pictures and its six button
// panels, in pixels relative to the client area, and the bitmap resources the pictures come
// from. Every picture is a 24-bit bitmap whose pure blue pixels (0, 0, 255) are cut away.
#pragma once

#include <cstdint>
#include <string_view>

namespace velmora::layout {

struct Placement {
  int left;
  int top;
  int width;
  int height;
};

// The window vmMainForm: placed where the layout stores it (no centring), not scaled with the
// screen's font size.
inline constexpr std::string_view kCaption = "vmMainForm";
inline constexpr int kWindowLeft = 193;
inline constexpr int kWindowTop = 115;
inline constexpr int kClientWidth = 502;
inline constexpr int kClientHeight = 401;

// Pictures.
inline constexpr Placement kBackgroundImage{0, 0, 500, 400};
inline constexpr Placement kNonApplyImage{339, 306, 58, 27};

// Panels, each sized to its image button and clipped to the button's picture.
inline constexpr Placement kCloseBtnPanel{460, 11, 29, 29};
inline constexpr Placement kMinimizeBtnPanel{429, 11, 29, 29};
inline constexpr Placement kDisableBtnPanel{250, 252, 30, 30};
inline constexpr Placement kApplyBtnPanel{339, 306, 58, 27};  // hidden at first
inline constexpr Placement kFastBtnPanel{53, 288, 23, 22};
inline constexpr Placement kRegularBtnPanel{53, 329, 23, 22};

// Boards with only the Regular mode hide the Fast button and move Regular to its place.
inline constexpr int kRegularOnlyRegularTop = kFastBtnPanel.top;

// The image buttons' repeat values; no button has a repeat handler, so none ever repeats.
inline constexpr std::int32_t kDelayBeforeRepeat = 2000;
inline constexpr std::int32_t kClickRepeatRate = 200;

// The bitmap resources (names are looked up without regard to letter case).
namespace pictures {

// The layout's own pictures: the English normal-variant background and Apply.
inline constexpr std::string_view kBackground = "BackgroundImage";
inline constexpr std::string_view kApplyNormal = "Bt_apply_1";
inline constexpr std::string_view kApplyFocus = "Bt_apply_2";
inline constexpr std::string_view kApplyDown = "Bt_apply_3";
inline constexpr std::string_view kNonApply = "Bt_apply_4";
inline constexpr std::string_view kRegularOnlyBackground = "NB_BackgroundImage";

inline constexpr std::string_view kChineseBackground = "CHS_BackgroundImage";
inline constexpr std::string_view kChineseRegularOnlyBackground = "NB_CHS_BackgroundImage";
inline constexpr std::string_view kChineseApplyNormal = "CHS_Bt_apply_1";
inline constexpr std::string_view kChineseApplyFocus = "CHS_Bt_apply_2";
inline constexpr std::string_view kChineseApplyDown = "CHS_Bt_apply_3";
inline constexpr std::string_view kChineseNonApply = "CHS_Bt_apply_4";

// The pictures of one image button; an empty name means the button has no such picture.
struct ButtonPictures {
  std::string_view normal;
  std::string_view focus;
  std::string_view down;
  std::string_view active;
};

inline constexpr ButtonPictures kClose{"Bt_close_1", "Bt_close_2", "Bt_close_3", ""};
inline constexpr ButtonPictures kMinimize{"Bt_minimize_1", "Bt_minimize_2", "Bt_minimize_3", ""};
inline constexpr ButtonPictures kDisable{"Bt_disable_1", "Bt_disable_2", "Bt_disable_3",
                                         "Bt_disable_4"};
inline constexpr ButtonPictures kFast{"Bt_fast_1", "Bt_fast_2", "Bt_fast_3", "Bt_fast_4"};
inline constexpr ButtonPictures kRegular{"Bt_regular_1", "Bt_regular_2", "Bt_regular_3",
                                         "Bt_regular_4"};
inline constexpr ButtonPictures kApply{kApplyNormal, kApplyFocus, kApplyDown, ""};

}  // namespace pictures

}  // namespace velmora::layout
