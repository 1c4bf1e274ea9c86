// The main window's look: its language (texts and pictures), dragging it by its pictures, the
// about box, and the minimise button.
#include "app/MainWindowLayout.h"
#include "app/vmMainForm.h"

namespace velmora {
namespace {

// The Apply button and the inactive Apply picture of a language other than the layout's.
void ShowApplyPictures(IPictures& pictures, IMainWindowView& view, const SkinChoice& skin) {
  TImageEn& apply = view.Button(MainButton::kApply);
  apply.SetNormalPicture(pictures.LoadBitmap(skin.applyNormal));
  apply.SetFocusPicture(pictures.LoadBitmap(skin.applyFocus));
  apply.SetDownPicture(pictures.LoadBitmap(skin.applyDown));
  apply.ShowPicture(apply.NormalPicture());
  view.ShowNonApplyPicture(pictures.LoadBitmap(skin.nonApply));
}

}  // namespace

void TvmMainForm::ApplyLanguage() {
  const std::uint16_t language = ports_.locale.GetUserDefaultLangID();
  Slots = ChooseTextSlots(ports_.resources, language);
  // The layout holds the English pictures of the normal variant; only the others are loaded.
  const SkinChoice skin = ChooseSkin(language, RegularOnly);
  if (skin.background != layout::pictures::kBackground) {
    backgroundPicture_ = ports_.pictures.LoadBitmap(skin.background);
    view_.ShowBackground(backgroundPicture_);
  }
  if (skin.applyNormal != layout::pictures::kApplyNormal) {
    ShowApplyPictures(ports_.pictures, view_, skin);
  }
  for (int index = 0; index < kMainButtonCount; ++index) {
    view_.SetButtonName(kReadingOrder[index], Slots[kSlotFastName - 1 + index]);
  }
  vmTrayIcon_->Hint = Slots[0];
  view_.SetTrayMenuCaptions(Slots[8], Slots[9]);
}

void TvmMainForm::BackgroundImageMouseDown(TMouseButton button) {
  switch (button) {
    case TMouseButton::mbLeft:
      // The system drags the window as if its caption had been grabbed.
      view_.ReleaseCapture();
      view_.SendMessageA(view_.MainWindow(), win::kWmSysCommand, win::kScDragMove, 0);
      break;
    case TMouseButton::mbRight:
      ports_.messages.MessageBoxA(0, Slots[0] + " " + ExecutableVersionText(ports_.resources),
                                  Slots[0], kNoticeBoxStyle);
      break;
    default:
      break;
  }
}

void TvmMainForm::MinimizeImageEnClick() {
  view_.SendMessageA(view_.MainWindow(), win::kWmSysCommand, win::kScMinimize, 0);
}

}  // namespace velmora
