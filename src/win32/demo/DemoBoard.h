// The demo program's hardware: a simulated board, described by the board file beside the program
// (the built-in board when there is none), under a simulated Windows 7 x86 kernel that runs the
// driver's real request handler. The program installs, opens and talks to that driver exactly as
// it does to the real one; only the message box it may show is the real one.
//
// The firmware's control byte outlives a run: each time the program changes it, the board file
// is rewritten with [Demo] ControlByte (sim/README.md), so a byte set there before a start (the
// firmware's request bit 0x10, say) is what the program finds, and what it leaves is readable
// after it ended. Notes (board file problems, saves, suspend calls) go to VelmoraDemo.log.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "hw/ReadWrite.h"
#include "ports/PowerLibraryPort.h"
#include "ports/TaskSchedulerPort.h"
#include "sim/SimPowerLibrary.h"
#include "sim/SimProcessor.h"
#include "sim/SimTaskScheduler.h"
#include "sim/board/DemoBoardState.h"
#include "sim/board/SimBoard.h"
#include "sim/board/WatchedMachine.h"
#include "sim/kernel/SimDriverWorld.h"

namespace velmora::demo {

inline constexpr char kBoardFileName[] = "VelmoraBoard.txt";
inline constexpr char kDemoLogName[] = "VelmoraDemo.log";

class DemoBoard {
 public:
  // `folder`: where the board file and the log are, ending in a path delimiter.
  explicit DemoBoard(const std::string& folder);
  ~DemoBoard();
  DemoBoard(const DemoBoard&) = delete;
  DemoBoard& operator=(const DemoBoard&) = delete;

  // The driver's world on the board; `messages` is the one port that stays real.
  HardwarePorts Ports(IMessageBox& messages);
  // The simulated power library and task scheduler when the board file asks for them; null
  // when the program is to use Windows' own.
  IPowerLibrary* Power() { return power_.get(); }
  ITaskSchedulerCom* Tasks() { return tasks_.get(); }

  sim::SimBoard& Board() { return *board_; }

 private:
  void BuildBoard(bool fileExists);
  void BuildSimulatedServices(const sim::DemoSettings& settings);
  void BuildSimulatedPower(const sim::DemoSettings& settings);
  void ControlByteWritten();
  void Note(const std::string& line);

  std::string folder_;
  std::string boardPath_;
  std::string boardText_;
  std::unique_ptr<sim::SimBoard> board_;
  std::optional<std::uint8_t> savedControlByte_;
  std::unique_ptr<sim::WatchedMachine> machine_;
  std::unique_ptr<sim::SimDriverWorld> world_;
  std::unique_ptr<sim::SimProcessor> processor_;
  std::unique_ptr<sim::SimPowerLibrary> power_;
  std::unique_ptr<sim::SimTaskScheduler> tasks_;
};

}  // namespace velmora::demo
