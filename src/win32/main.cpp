// Velmora.exe: the program on real Windows, every port with its Win32 adapter.
#include "win32/Win32Program.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return velmora::win32::RunVelmoraProgram(instance);
}
