// VelmoraDemo.exe: the real Windows program (the same main window, flows and Win32 adapters as
// Velmora.exe) whose hardware is a simulated board described by VelmoraBoard.txt beside it.
#include <windows.h>

#include <exception>
#include <memory>
#include <string>

#include "win32/Win32MessageBox.h"
#include "win32/Win32Program.h"
#include "win32/demo/DemoBoard.h"
#include "win32/demo/DemoFiles.h"

namespace {

// A board that cannot be built (a dump that cannot be placed, say) ends the demo with a word.
std::unique_ptr<velmora::demo::DemoBoard> BuildBoard() {
  try {
    return std::make_unique<velmora::demo::DemoBoard>(velmora::demo::ProgramFolder());
  } catch (const std::exception& error) {
    const std::string text = std::string("The simulated board cannot be built: ") + error.what();
    MessageBoxA(nullptr, text.c_str(), "VelmoraDemo", MB_ICONERROR);
    return nullptr;
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const std::unique_ptr<velmora::demo::DemoBoard> board = BuildBoard();
  if (!board) return 1;
  velmora::win32::Win32MessageBox messages;
  const velmora::HardwarePorts hardware = board->Ports(messages);
  velmora::win32::ProgramOverrides overrides;
  overrides.hardware = &hardware;
  overrides.power = board->Power();
  overrides.tasks = board->Tasks();
  return velmora::win32::RunVelmoraProgram(instance, overrides);
}
