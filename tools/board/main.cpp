// velmora-board: the program's hardware start-up on a simulated board, from the shell.
#include <iostream>
#include <string>
#include <vector>

#include "tools/board/BoardTool.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return velmora::boardtool::RunBoardTool(args, std::cout, std::cerr);
}
