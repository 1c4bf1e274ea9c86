// The picture button's display rules, its mouse events and its repeated click, with the repeat
// thread's body run step by step on the test's thread against a manual clock.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "controls/ImageEn.h"
#include "sim/SimTimers.h"

namespace velmora {
namespace {

constexpr WindowHandle kButtonWindow = 0x5150;

// Thrown from the simulated Windows calls to take the worker off the test's thread.
struct WorkerStopped {};

class RecordingDisplay : public IPictureDisplay {
 public:
  void ShowPicture(const IPictureCanvas& picture, int width, int height) override {
    ++shows;
    shown.Assign(picture);
    this->width = width;
    this->height = height;
  }
  int shows = 0;
  TPicture shown;
  int width = 0;
  int height = 0;
};

// The repeat thread, played on the test's thread. The body runs only inside RunUntil; each Sleep
// moves the clock on and first plays the user-interface events due by then, as if the
// user-interface thread handled them while the worker slept. A suspended thread stops at its
// next call (unwinding the body); resumed, it starts the body again.
class SteppedThreads : public IThreads {
 public:
  explicit SteppedThreads(sim::SimTimers& clock) : clock_(clock) {}

  ThreadHandle CreateSuspendedThread(std::function<void()> body) override {
    ++created;
    if (createFails) return 0;
    body_ = std::move(body);
    return 0x7700;
  }
  void ResumeThread(ThreadHandle) override {
    ++resumes;
    suspended = false;
  }
  void SuspendThread(ThreadHandle) override {
    ++suspends;
    suspended = true;
  }
  void Sleep(std::uint32_t milliseconds) override {
    clock_.Advance(milliseconds);
    while (!events_.empty() && events_.begin()->first <= clock_.Now()) {
      const auto event = events_.begin()->second;
      events_.erase(events_.begin());
      event();
    }
    if (suspended || clock_.Now() >= until_) throw WorkerStopped{};
  }
  void WaitForThreadAndClose(ThreadHandle) override { ++waits; }

  void At(std::uint64_t time, std::function<void()> event) { events_.emplace(time, event); }
  void RunUntil(std::uint64_t time) {
    until_ = time;
    while (!suspended && clock_.Now() < until_ && !flooded) {
      try {
        body_();
        return;  // the loop ended: the thread was told to terminate
      } catch (const WorkerStopped&) {
      }
    }
  }

  int created = 0;
  int resumes = 0;
  int suspends = 0;
  int waits = 0;
  bool suspended = true;
  bool createFails = false;
  bool flooded = false;

 private:
  sim::SimTimers& clock_;
  std::function<void()> body_;
  std::multimap<std::uint64_t, std::function<void()>> events_;
  std::uint64_t until_ = 0;
};

// SendMessageW from the worker: delivered at once to the button's window procedure. A worker
// that sends without ever waiting is stopped after a while.
class DirectMessages : public ISentMessages {
 public:
  std::intptr_t SendMessageW(WindowHandle window, std::uint32_t message, std::uintptr_t,
                             std::intptr_t) override {
    sent.push_back(message);
    if (sent.size() > kFloodLimit && threads != nullptr) {
      ADD_FAILURE() << "the repeat thread sends without waiting";
      threads->flooded = true;
      throw WorkerStopped{};
    }
    if (window == kButtonWindow && button != nullptr) button->HandleMessage(message);
    return 0;
  }
  static constexpr std::size_t kFloodLimit = 10000;
  TImageEn* button = nullptr;
  SteppedThreads* threads = nullptr;
  std::vector<std::uint32_t> sent;
};

const TPicture kNormal(30, 30, 0x000001);
const TPicture kFocus(30, 30, 0x000002);
const TPicture kDown(30, 30, 0x000003);
const TPicture kActive(30, 30, 0x000004);

class ImageButtonTest : public ::testing::Test {
 protected:
  ImageButtonTest() : threads(clock), button(TImageEnPorts{display, threads, clock, messages}) {
    messages.button = &button;
    messages.threads = &threads;
    button.SetHandle(kButtonWindow);
    button.SetNormalPicture(kNormal);
    button.SetFocusPicture(kFocus);
    button.SetDownPicture(kDown);
    button.SetActivePicture(kActive);
    button.SetStatus(ImageEnNormal);
  }

  void CountRepeats() {
    button.OnMouseRepeatClick = [this](TImageEn& sender) {
      EXPECT_EQ(&sender, &button);
      repeats.push_back(clock.Now());
    };
  }
  void Press(TMouseButton which = TMouseButton::mbLeft) { button.MouseDown(which, 0, 5, 5); }
  void Release(TMouseButton which = TMouseButton::mbLeft, int x = 5, int y = 5) {
    button.MouseUp(which, 0, x, y);
  }

  sim::SimTimers clock;
  RecordingDisplay display;
  SteppedThreads threads;
  DirectMessages messages;
  TImageEn button;
  std::vector<std::uint64_t> repeats;
};

TEST(ImageEnConstruction, DefaultsAndNoThread) {
  sim::SimTimers clock;
  RecordingDisplay display;
  SteppedThreads threads(clock);
  DirectMessages messages;
  TImageEn button(TImageEnPorts{display, threads, clock, messages});
  EXPECT_EQ(button.DelayBeforeRepeat, 2000);
  EXPECT_EQ(button.ClickRepeatRate, 200);
  EXPECT_TRUE(button.AutoSize);
  EXPECT_TRUE(button.Transparent);
  EXPECT_EQ(button.Status(), ImageEnNormal);
  EXPECT_TRUE(button.NormalPicture().Empty());
  EXPECT_EQ(threads.created, 0);
  EXPECT_FALSE(button.RepeatRunning());
}

TEST_F(ImageButtonTest, EachStatusShowsItsPicture) {
  const std::pair<TImageEnStatus, const TPicture*> cases[] = {{ImageEnFocus, &kFocus},
                                                              {ImageEnDown, &kDown},
                                                              {ImageEnActive, &kActive},
                                                              {ImageEnNormal, &kNormal}};
  for (const auto& [status, picture] : cases) {
    button.SetStatus(status);
    EXPECT_EQ(button.Status(), status);
    EXPECT_EQ(display.shown, *picture) << status;
  }
}

TEST_F(ImageButtonTest, StatusOutsideTheFourStatesIsStoredButShowsNothing) {
  button.SetStatus(ImageEnActive);
  const int shows = display.shows;
  button.SetStatus(static_cast<TImageEnStatus>(4));
  EXPECT_EQ(button.Status(), 4);
  button.SetStatus(static_cast<TImageEnStatus>(-1));
  EXPECT_EQ(button.Status(), -1);
  EXPECT_EQ(display.shows, shows);
  EXPECT_EQ(display.shown, kActive);
}

TEST_F(ImageButtonTest, PictureSettersCopyAndDoNotRefreshTheShownPicture) {
  TPicture replacement(30, 30, 0x00ABCDEF);
  const int shows = display.shows;
  button.SetNormalPicture(replacement);
  replacement = TPicture(30, 30, 0x00123456);
  EXPECT_EQ(display.shows, shows);
  EXPECT_EQ(display.shown, kNormal);
  EXPECT_EQ(button.NormalPicture(), TPicture(30, 30, 0x00ABCDEF));
}

TEST_F(ImageButtonTest, AutoSizeTakesThePictureSize) {
  button.SetStatus(ImageEnNormal);
  EXPECT_EQ(button.Width(), 30);
  EXPECT_EQ(display.width, 30);
  EXPECT_EQ(display.height, 30);
}

TEST_F(ImageButtonTest, HoverShowsFocusAndLeaveShowsNormal) {
  EXPECT_TRUE(button.HandleMessage(CM_MOUSEENTER));
  EXPECT_EQ(display.shown, kFocus);
  EXPECT_TRUE(button.HandleMessage(CM_MOUSELEAVE));
  EXPECT_EQ(display.shown, kNormal);
  EXPECT_FALSE(button.HandleMessage(0x0200));  // WM_MOUSEMOVE belongs to the window
}

TEST_F(ImageButtonTest, ActiveStateSurvivesHoverAndReleaseButNotAPress) {
  button.SetStatus(ImageEnActive);
  button.HandleMessage(CM_MOUSEENTER);
  EXPECT_EQ(display.shown, kActive);
  Press();
  EXPECT_EQ(display.shown, kDown);
  Release();
  EXPECT_EQ(display.shown, kActive);
  button.HandleMessage(CM_MOUSELEAVE);
  EXPECT_EQ(display.shown, kActive);
}

TEST_F(ImageButtonTest, LeftPressShowsDownAndReleaseInsideShowsFocusWithAClick) {
  int clicks = 0;
  button.OnClick = [&](TImageEn&) { ++clicks; };
  Press();
  EXPECT_EQ(display.shown, kDown);
  Release(TMouseButton::mbLeft, 29, 29);  // the last pixel of a 30 x 30 button
  EXPECT_EQ(display.shown, kFocus);
  EXPECT_EQ(clicks, 1);
}

TEST_F(ImageButtonTest, ReleaseOutsideShowsNormalAndRaisesNoClick) {
  int clicks = 0;
  button.OnClick = [&](TImageEn&) { ++clicks; };
  for (const auto& [x, y] : {std::pair{30, 5}, std::pair{5, 30}, std::pair{-1, 5}}) {
    Press();
    Release(TMouseButton::mbLeft, x, y);
    EXPECT_EQ(display.shown, kNormal) << x << "," << y;
  }
  EXPECT_EQ(clicks, 0);
}

TEST_F(ImageButtonTest, TheClickRunsBeforeTheMouseUpHandling) {
  std::vector<std::string> order;
  button.OnClick = [&](TImageEn& sender) {
    order.push_back("click");
    sender.SetStatus(ImageEnActive);
  };
  button.OnMouseUp = [&](TImageEn&, TMouseButton, TShiftState, int, int) { order.push_back("up"); };
  Press();
  Release();
  EXPECT_EQ(order, (std::vector<std::string>{"click", "up"}));
  EXPECT_EQ(display.shown, kActive);

  button.SetStatus(ImageEnNormal);
  button.OnClick = [](TImageEn& sender) { sender.SetStatus(ImageEnNormal); };
  Press();
  Release();
  EXPECT_EQ(display.shown, kFocus);
}

TEST_F(ImageButtonTest, RightButtonShowsNoDownPictureAndRaisesNoClick) {
  int clicks = 0;
  button.OnClick = [&](TImageEn&) { ++clicks; };
  Press(TMouseButton::mbRight);
  EXPECT_EQ(display.shown, kNormal);
  Release(TMouseButton::mbRight);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(display.shown, kFocus);
}

TEST_F(ImageButtonTest, MouseEventsCarrySenderButtonShiftAndPosition) {
  std::vector<std::string> seen;
  const auto record = [&](const char* what) {
    return [&, what](TImageEn& sender, TMouseButton which, TShiftState shift, int x, int y) {
      EXPECT_EQ(&sender, &button);
      seen.push_back(std::string(what) + std::to_string(static_cast<int>(which)) + "/" +
                     std::to_string(shift) + "@" + std::to_string(x) + "," + std::to_string(y));
    };
  };
  button.OnMouseDown = record("down");
  button.OnMouseUp = record("up");
  button.MouseDown(TMouseButton::mbMiddle, ssCtrl | ssMiddle, 3, 4);
  button.MouseUp(TMouseButton::mbMiddle, ssCtrl, 40, -2);
  EXPECT_EQ(seen, (std::vector<std::string>{"down2/36@3,4", "up2/4@40,-2"}));
}

TEST_F(ImageButtonTest, WithoutARepeatHandlerTheThreadNeverStarts) {
  for (auto which : {TMouseButton::mbLeft, TMouseButton::mbRight, TMouseButton::mbMiddle}) {
    Press(which);
    Release(which);
  }
  EXPECT_EQ(threads.created, 0);
  EXPECT_TRUE(messages.sent.empty());
}

TEST_F(ImageButtonTest, HoldingRaisesTheRepeatAtOnceThenEveryRate) {
  CountRepeats();
  Press();
  threads.RunUntil(1000);
  EXPECT_EQ(repeats, (std::vector<std::uint64_t>{0, 200, 400, 600, 800}));
}

TEST_F(ImageButtonTest, ReleaseStopsTheRepeatBeforeTheNextOne) {
  CountRepeats();
  Press();
  threads.At(450, [this] { Release(); });
  threads.RunUntil(2000);
  EXPECT_EQ(repeats, (std::vector<std::uint64_t>{0, 200, 400}));
  EXPECT_FALSE(button.RepeatRunning());
  EXPECT_EQ(threads.suspends, 1);
}

TEST_F(ImageButtonTest, LeavingStopsTheRepeat) {
  CountRepeats();
  Press();
  threads.At(250, [this] { button.HandleMessage(CM_MOUSELEAVE); });
  threads.RunUntil(2000);
  EXPECT_EQ(repeats, (std::vector<std::uint64_t>{0, 200}));
  EXPECT_EQ(display.shown, kNormal);
}

TEST_F(ImageButtonTest, RightPressStartsTheRepeatToo) {
  CountRepeats();
  Press(TMouseButton::mbRight);
  threads.RunUntil(500);
  EXPECT_EQ(repeats.size(), 3u);
}

TEST_F(ImageButtonTest, PressCopiesTheRateAndTheDelayPlaysNoPart) {
  CountRepeats();
  button.ClickRepeatRate = 70;
  button.DelayBeforeRepeat = 5000;
  Press();
  EXPECT_EQ(button.RepeatThread()->Rate(), 70);
  EXPECT_EQ(button.RepeatThread()->Delay(), 5000);
  threads.RunUntil(300);
  EXPECT_EQ(repeats, (std::vector<std::uint64_t>{0, 70, 140, 210, 280}));
}

TEST_F(ImageButtonTest, ASecondPressWhileRunningDoesNotResumeAgain) {
  CountRepeats();
  Press(TMouseButton::mbLeft);
  Press(TMouseButton::mbRight);
  EXPECT_EQ(threads.resumes, 1);
}

TEST_F(ImageButtonTest, TheWaitCarriesOnAcrossTheTickCountWrap) {
  CountRepeats();
  clock.SetNow(0xFFFFFFFFull - 450);  // the 32-bit tick count wraps during the second wait
  Press();
  threads.RunUntil(clock.Now() + 1000);
  ASSERT_EQ(repeats.size(), 5u);
  for (std::size_t i = 1; i < repeats.size(); ++i) EXPECT_EQ(repeats[i] - repeats[i - 1], 200u);
}

TEST(RateElapsed, UnsignedDifferenceOverTheWrap) {
  EXPECT_FALSE(RateElapsed(0xFFFFFF00u, 0x00000010u, 0x200));  // 0x110 ms passed
  EXPECT_TRUE(RateElapsed(0xFFFFFF00u, 0x00000100u, 0x200));   // exactly 0x200
  EXPECT_TRUE(RateElapsed(5, 5, 0));
  EXPECT_TRUE(RateElapsed(5, 5, -1));
}

TEST_F(ImageButtonTest, AResumeDuringTheWaitRaisesTheNextRepeatAtOnce) {
  CountRepeats();
  Press();
  threads.At(50, [this] {
    Release();
    Press();
  });
  threads.RunUntil(300);
  ASSERT_GE(repeats.size(), 3u);
  EXPECT_EQ(repeats[0], 0u);
  EXPECT_LE(repeats[1], 60u);
  EXPECT_EQ(repeats[2] - repeats[1], 200u);
}

TEST_F(ImageButtonTest, ARepeatMessageDuringTheHandlerDoesNotReenterIt) {
  int depth = 0;
  int calls = 0;
  button.OnMouseRepeatClick = [&](TImageEn& sender) {
    ++calls;
    ++depth;
    EXPECT_EQ(depth, 1);
    // A message box in the handler pumps messages: a repeat sent meanwhile arrives here.
    EXPECT_TRUE(sender.HandleMessage(kMouseRepeatMessage));
    --depth;
  };
  Press();
  button.HandleMessage(kMouseRepeatMessage);
  button.HandleMessage(kMouseRepeatMessage);
  EXPECT_EQ(calls, 2);  // the guard is cleared after each call
}

TEST_F(ImageButtonTest, ARepeatMessageArrivingAfterTheReleaseIsDropped) {
  CountRepeats();
  Press();
  Release();
  button.HandleMessage(kMouseRepeatMessage);  // sent before the release, handled after it
  EXPECT_TRUE(repeats.empty());
}

TEST_F(ImageButtonTest, AButtonWhoseThreadCouldNotBeCreatedStillWorks) {
  SteppedThreads failing(clock);
  failing.createFails = true;
  TImageEn lonely(TImageEnPorts{display, failing, clock, messages});
  int repeatsSeen = 0;
  lonely.OnMouseRepeatClick = [&](TImageEn&) { ++repeatsSeen; };
  lonely.MouseDown(TMouseButton::mbLeft, 0, 1, 1);
  lonely.MouseUp(TMouseButton::mbLeft, 0, 1, 1);
  EXPECT_EQ(failing.resumes, 0);
  EXPECT_EQ(repeatsSeen, 0);
}

TEST(ImageEnDestruction, APausedThreadIsResumedToEndAndWaitedFor) {
  sim::SimTimers clock;
  RecordingDisplay display;
  SteppedThreads threads(clock);
  DirectMessages messages;
  {
    TImageEn button(TImageEnPorts{display, threads, clock, messages});
    button.OnMouseRepeatClick = [](TImageEn&) {};
    button.MouseDown(TMouseButton::mbLeft, 0, 1, 1);
    button.MouseUp(TMouseButton::mbLeft, 0, 1, 1);  // the thread is paused again
  }
  EXPECT_EQ(threads.resumes, 2);  // the press, then the end
  EXPECT_EQ(threads.waits, 1);
}

TEST(Picture, PixelsThatDoNotFitTheSizeGiveAnEmptyPicture) {
  EXPECT_TRUE(TPicture(2, 2, std::vector<ColorRef>{1, 2, 3}).Empty());
  const TPicture picture(2, 1, std::vector<ColorRef>{7, 9});
  EXPECT_EQ(picture.Pixel(1, 0), 9u);
}

}  // namespace
}  // namespace velmora
