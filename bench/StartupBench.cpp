// Times the program's hardware start-up on the default simulated board and counts what it asks
// of the driver: the configuration, the driver client (driver installation, PCI Express base
// detection), the SMBIOS reader (board name) and the ACPI locator (table list, QVZX lookup), in
// the order the platform checks run them. Prints the driver requests of one start-up by kind and
// by stage, the time per start-up, and how many memory mappings the same reads would need at
// least, so the cost of mapping every 256-byte window anew can be judged.
//
//   velmora_startup_bench [start-ups]      (default 200)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "bench/RequestTable.h"
#include "hw/AcpiBase.h"
#include "hw/SmbiosBase.h"
#include "sim/ForwardingFiles.h"
#include "sim/SimStartup.h"
#include "sim/board/SimBoard.h"

#ifndef VELMORA_BENCH_BUILD
#define VELMORA_BENCH_BUILD "unknown"
#endif

namespace velmora::bench {
namespace {

namespace dp = driver_protocol;

// The simulated Windows' file and device layer, counting the bytes every read request asks for.
class ReadRecorder : public sim::ForwardingFiles {
 public:
  std::uint64_t bytes = 0;

  bool DeviceIoControl(Handle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                       void* out, std::uint32_t outSize, std::uint32_t* returned) override {
    if (code == dp::IOCTL_READ_PHYSICAL_MEMORY && inSize >= sizeof(dp::ReadPhysicalRequest)) {
      dp::ReadPhysicalRequest request;
      std::memcpy(&request, in, sizeof request);
      bytes += request.length;
    }
    return ForwardingFiles::DeviceIoControl(device, code, in, inSize, out, outSize, returned);
  }
};

// One stage of the start-up: the requests it sent and the bytes its reads asked for.
struct Stage {
  const char* name;
  DriverRequestCounts requests;
  std::uint64_t bytes;
};

struct StartupRun {
  double milliseconds = 0;
  std::vector<Stage> stages;
  std::string boardName;
  std::size_t acpiTables = 0;
};

StartupRun RunStartup(sim::SimBoard& board) {
  ReadRecorder io;
  StartupRun run;
  const auto begin = std::chrono::steady_clock::now();
  {
    sim::SimStartup startup(board, sim::Windows7X86(), "", &io);
    io.Bind(startup.world.io);
    startup.Configure();
    TReadWrite& driver = startup.ConnectDriver();
    DriverRequestCounts before = driver.Requests();
    std::uint64_t bytesBefore = io.bytes;
    auto close = [&](const char* name) {
      run.stages.push_back(Stage{name, driver.Requests() - before, io.bytes - bytesBefore});
      before = driver.Requests();
      bytesBefore = io.bytes;
    };
    run.stages.push_back(Stage{"driver client (PCIe base)", before, io.bytes});
    run.boardName = TSmbiosBase(driver, startup.codePage).BoardName();
    close("SMBIOS reader");
    TAcpiBase acpi(driver, startup.Config());
    acpi.FindTable("QVZX");
    run.acpiTables = acpi.Tables.size();
    close("ACPI locator");
  }
  const auto end = std::chrono::steady_clock::now();
  run.milliseconds = std::chrono::duration<double, std::milli>(end - begin).count();
  return run;
}

void PrintRequests(const std::vector<Stage>& stages) {
  std::printf("Driver requests per start-up, by kind, and the bytes the reads copied:\n");
  PrintRequestHeader("stage");
  DriverRequestCounts all;
  std::uint64_t bytes = 0;
  for (const Stage& s : stages) {
    PrintRequestRow(s.name, s.requests);
    all = all + s.requests;
    bytes += s.bytes;
  }
  PrintRequestRow("whole start-up", all);
  std::printf("  bytes read:");
  for (const Stage& s : stages) std::printf(" %s %llu;", s.name, static_cast<unsigned long long>(s.bytes));
  std::printf(" in all %llu\n", static_cast<unsigned long long>(bytes));
}

int Main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 200;
  if (count <= 0) {
    std::fprintf(stderr, "usage: velmora_startup_bench [start-ups > 0]\n");
    return 2;
  }
  sim::SimBoard board;
  StartupRun first = RunStartup(board);
  double total = first.milliseconds;
  double fastest = first.milliseconds;
  for (int i = 1; i < count; ++i) {
    const double ms = RunStartup(board).milliseconds;
    total += ms;
    fastest = std::min(fastest, ms);
  }
  std::printf("velmora_startup_bench: %d start-up(s) on the default simulated board\n", count);
  std::printf("  Windows 7 x86, no Velmora.ini (PCIe base detection on, SSDT search on)\n");
  std::printf("  build: %s\n", VELMORA_BENCH_BUILD);
  std::printf("  board name \"%s\", %zu ACPI table(s) listed\n\n", first.boardName.c_str(),
              first.acpiTables);
  PrintRequests(first.stages);
  std::printf("\nTime per start-up (simulated driver, including its installation and removal):\n");
  std::printf("  mean %.3f ms, min %.3f ms over %d start-up(s)\n", total / count, fastest, count);
  return 0;
}

}  // namespace
}  // namespace velmora::bench

int main(int argc, char** argv) {
  return velmora::bench::Main(argc, argv);
}
