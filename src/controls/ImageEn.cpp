#include "controls/ImageEn.h"

namespace velmora {

TImageEn::TImageEn(const TImageEnPorts& ports) : ports_(ports) {}

// The thread goes first, while the pictures and the display still exist: repeat messages that
// arrive while it ends find no thread and are dropped.
TImageEn::~TImageEn() {
  thread_.reset();
}

void TImageEn::SetStatus(TImageEnStatus status) {
  status_ = status;
  switch (status) {
    case ImageEnNormal:
      ShowPicture(normalPicture_);
      break;
    case ImageEnFocus:
      ShowPicture(focusPicture_);
      break;
    case ImageEnDown:
      ShowPicture(downPicture_);
      break;
    case ImageEnActive:
      ShowPicture(activePicture_);
      break;
    default:
      break;
  }
}

void TImageEn::ShowPicture(const IPictureCanvas& picture) {
  picture_.Assign(picture);
  if (AutoSize && !picture_.Empty()) SetBounds(picture_.Width(), picture_.Height());
  ports_.display.ShowPicture(picture_, width_, height_);
}

void TImageEn::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) {
    clicked_ = true;
    ShowPicture(downPicture_);  // also in the active state
  }
  if (OnMouseRepeatClick && !RepeatRunning()) StartRepeat();
  if (OnMouseDown) OnMouseDown(*this, button, shift, x, y);
}

void TImageEn::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && clicked_) {
    clicked_ = false;
    if (Inside(x, y) && OnClick) OnClick(*this);
  }
  PauseRepeat();
  if (status_ == ImageEnActive)
    ShowPicture(activePicture_);
  else
    ShowPicture(Inside(x, y) ? focusPicture_ : normalPicture_);
  if (OnMouseUp) OnMouseUp(*this, button, shift, x, y);
}

bool TImageEn::HandleMessage(std::uint32_t message) {
  switch (message) {
    case kMouseRepeatMessage:
      MouseRepeatClick();
      return true;
    case CM_MOUSEENTER:
      MouseEnter();
      return true;
    case CM_MOUSELEAVE:
      MouseLeave();
      return true;
    default:
      return false;
  }
}

void TImageEn::MouseEnter() {
  if (status_ != ImageEnActive) ShowPicture(focusPicture_);
}

void TImageEn::MouseLeave() {
  PauseRepeat();
  if (status_ != ImageEnActive) ShowPicture(normalPicture_);
}

// A repeat message that was already on its way when the repeat was paused (the thread was
// waiting in SendMessage for this thread) arrives after the release; it is dropped, so that a
// release or a leave stops the repeated clicks before the next one.
void TImageEn::MouseRepeatClick() {
  if (!RepeatRunning() || !OnMouseRepeatClick || inRepeatClick_) return;
  struct Guard {
    bool& flag;
    explicit Guard(bool& f) : flag(f) { flag = true; }
    ~Guard() { flag = false; }
  } guard(inRepeatClick_);
  OnMouseRepeatClick(*this);
}

void TImageEn::PauseRepeat() {
  if (RepeatRunning()) thread_->Suspend();
}

// The thread is made at the first press with a repeat handler: a button without one (every button
// of the program) never costs a thread.
void TImageEn::StartRepeat() {
  if (!thread_) {
    thread_ = std::make_unique<TMouseThread>(ports_.threads, ports_.ticks, ports_.messages);
  }
  thread_->SetOwner(handle_);
  thread_->SetDelay(DelayBeforeRepeat);
  thread_->SetRate(ClickRepeatRate);
  thread_->Resume();
}

}  // namespace velmora
