// The picture button of the skinned windows: an image control that shows one of four pictures
// by its state and by the mouse, raises its own mouse events, and can raise a repeated click
// while a mouse button is held (through its repeat thread). The window around it feeds it the
// mouse and the messages below.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "controls/MouseThread.h"
#include "controls/Picture.h"
#include "ports/PictureDisplayPort.h"

namespace velmora {

enum TImageEnStatus : std::int32_t {
  ImageEnNormal = 0,
  ImageEnFocus = 1,
  ImageEnDown = 2,
  ImageEnActive = 3,
};

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Keys and buttons held during a mouse event.
using TShiftState = std::uint16_t;
inline constexpr TShiftState ssShift = 0x01;
inline constexpr TShiftState ssAlt = 0x02;
inline constexpr TShiftState ssCtrl = 0x04;
inline constexpr TShiftState ssLeft = 0x08;
inline constexpr TShiftState ssRight = 0x10;
inline constexpr TShiftState ssMiddle = 0x20;

// The framework's control messages for the mouse entering and leaving a control.
inline constexpr std::uint32_t CM_MOUSEENTER = 0xB013;
inline constexpr std::uint32_t CM_MOUSELEAVE = 0xB014;

class TImageEn;
using TNotifyEvent = std::function<void(TImageEn& sender)>;
using TMouseEvent =
    std::function<void(TImageEn& sender, TMouseButton button, TShiftState shift, int x, int y)>;

// What the button needs from its window and from Windows.
struct TImageEnPorts {
  IPictureDisplay& display;
  IThreads& threads;
  ITickCount& ticks;
  ISentMessages& messages;
};

class TImageEn {
 public:
  // Empty pictures, AutoSize and Transparent on, the repeat thread created paused.
  explicit TImageEn(const TImageEnPorts& ports);
  ~TImageEn();
  TImageEn(const TImageEn&) = delete;
  TImageEn& operator=(const TImageEn&) = delete;

  // Each setter copies the picture into the button's own; the shown picture is not refreshed.
  void SetFocusPicture(const IPictureCanvas& picture) { focusPicture_.Assign(picture); }
  void SetNormalPicture(const IPictureCanvas& picture) { normalPicture_.Assign(picture); }
  void SetDownPicture(const IPictureCanvas& picture) { downPicture_.Assign(picture); }
  void SetActivePicture(const IPictureCanvas& picture) { activePicture_.Assign(picture); }
  const TPicture& FocusPicture() const { return focusPicture_; }
  const TPicture& NormalPicture() const { return normalPicture_; }
  const TPicture& DownPicture() const { return downPicture_; }
  const TPicture& ActivePicture() const { return activePicture_; }

  TImageEnStatus Status() const { return status_; }
  // Stores any value; only the four states change the shown picture.
  void SetStatus(TImageEnStatus status);

  // The shown picture (the image control's own, a copy) and the control's size.
  const TPicture& Picture() const { return picture_; }
  void ShowPicture(const IPictureCanvas& picture);
  void SetBounds(int width, int height) { width_ = width, height_ = height; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Mouse input as the control's window receives it. A left press and release inside the control
  // raises OnClick, before the mouse-up handling.
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  // kMouseRepeatMessage, CM_MOUSEENTER and CM_MOUSELEAVE; false for any other message, which
  // belongs to the window's default handling.
  bool HandleMessage(std::uint32_t message);

  // The window that receives the repeat message.
  void SetHandle(WindowHandle window) { handle_ = window; }
  WindowHandle Handle() const { return handle_; }
  bool RepeatRunning() const { return thread_ && !thread_->Suspended(); }
  // The repeat thread; null until the first press with a repeat handler made it.
  const TMouseThread* RepeatThread() const { return thread_.get(); }

  TNotifyEvent OnClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnMouseRepeatClick;
  std::int32_t DelayBeforeRepeat = 2000;
  std::int32_t ClickRepeatRate = 200;
  bool AutoSize = true;
  bool Transparent = true;

 private:
  void MouseEnter();
  void MouseLeave();
  void MouseRepeatClick();
  void PauseRepeat();
  void StartRepeat();
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  TImageEnPorts ports_;
  TPicture focusPicture_;
  TPicture normalPicture_;
  TPicture downPicture_;
  TPicture activePicture_;
  TPicture picture_;
  TImageEnStatus status_ = ImageEnNormal;
  WindowHandle handle_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool clicked_ = false;        // a left press began inside the control
  bool inRepeatClick_ = false;  // guard against re-entering the repeat handler
  std::unique_ptr<TMouseThread> thread_;
};

}  // namespace velmora
