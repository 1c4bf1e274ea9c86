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

// The simulated Windows' file and device layer, recording the physical address of every map.
class MapRecorder : public sim::ForwardingFiles {
 public:
  std::vector<std::uint32_t> maps;

  bool DeviceIoControl(Handle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                       void* out, std::uint32_t outSize, std::uint32_t* returned) override {
    if (code == dp::IOCTL_MAP_PHYSICAL_MEMORY && inSize >= 4) {
      std::uint32_t physical = 0;
      std::memcpy(&physical, in, 4);
      maps.push_back(physical);
    }
    return ForwardingFiles::DeviceIoControl(device, code, in, inSize, out, outSize, returned);
  }
};

// One stage of the start-up: the requests it sent and the maps it made.
struct Stage {
  const char* name;
  DriverRequestCounts requests;
  std::vector<std::uint32_t> maps;
};

DriverRequestCounts Minus(const DriverRequestCounts& a, const DriverRequestCounts& b) {
  return DriverRequestCounts{a.map - b.map, a.unmap - b.unmap, a.pciByte - b.pciByte,
                             a.pciWord - b.pciWord, a.pciDword - b.pciDword};
}

struct StartupRun {
  double milliseconds = 0;
  std::vector<Stage> stages;
  std::string boardName;
  std::size_t acpiTables = 0;
};

StartupRun RunStartup(sim::SimBoard& board) {
  MapRecorder io;
  StartupRun run;
  const auto begin = std::chrono::steady_clock::now();
  {
    sim::SimStartup startup(board, sim::Windows7X86(), "", &io);
    io.Bind(startup.world.io);
    startup.Configure();
    TReadWrite& driver = startup.ConnectDriver();
    DriverRequestCounts before = driver.Requests();
    std::size_t mapsBefore = io.maps.size();
    auto close = [&](const char* name) {
      run.stages.push_back(
          Stage{name, Minus(driver.Requests(), before),
                std::vector<std::uint32_t>(io.maps.begin() + mapsBefore, io.maps.end())});
      before = driver.Requests();
      mapsBefore = io.maps.size();
    };
    run.stages.push_back(Stage{"driver client (PCIe base)", before, io.maps});
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

std::size_t DistinctWindows(const std::vector<std::uint32_t>& maps) {
  std::set<std::uint32_t> windows;
  for (std::uint32_t physical : maps) windows.insert(physical & 0xFFFFFF00u);
  return windows.size();
}

void PrintRequests(const std::vector<Stage>& stages) {
  std::printf("Driver requests per start-up, by kind:\n");
  std::printf("  %-28s %7s %7s %9s %9s %10s %7s\n", "stage", "map", "unmap", "PCI byte", "PCI word",
              "PCI dword", "total");
  DriverRequestCounts all;
  for (const Stage& s : stages) {
    const DriverRequestCounts& r = s.requests;
    std::printf("  %-28s %7u %7u %9u %9u %10u %7u\n", s.name, r.map, r.unmap, r.pciByte, r.pciWord,
                r.pciDword, r.Total());
    all = DriverRequestCounts{all.map + r.map, all.unmap + r.unmap, all.pciByte + r.pciByte,
                              all.pciWord + r.pciWord, all.pciDword + r.pciDword};
  }
  std::printf("  %-28s %7u %7u %9u %9u %10u %7u\n", "whole start-up", all.map, all.unmap,
              all.pciByte, all.pciWord, all.pciDword, all.Total());
}

void PrintMinimum(const std::vector<Stage>& stages) {
  std::printf(
      "\nMinimum mappings: every map the client sends covers one 256-byte window (the block\n"
      "reads and pattern searches) or a few bytes inside one (the single reads of the PCIe\n"
      "detection). A client that mapped each distinct 256-byte window once and kept it for the\n"
      "whole stage would need one map and one unmap per distinct window touched; the table\n"
      "compares that with what was sent.\n");
  std::printf("  %-28s %7s %17s %14s\n", "stage", "maps", "distinct windows", "maps / window");
  std::vector<std::uint32_t> all;
  for (const Stage& s : stages) {
    const std::size_t windows = DistinctWindows(s.maps);
    std::printf("  %-28s %7zu %17zu %14.1f\n", s.name, s.maps.size(), windows,
                windows ? static_cast<double>(s.maps.size()) / windows : 0.0);
    all.insert(all.end(), s.maps.begin(), s.maps.end());
  }
  const std::size_t windows = DistinctWindows(all);
  std::printf("  %-28s %7zu %17zu %14.1f\n", "whole start-up", all.size(), windows,
              windows ? static_cast<double>(all.size()) / windows : 0.0);
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
  PrintMinimum(first.stages);
  std::printf("\nTime per start-up (simulated driver, including its installation and removal):\n");
  std::printf("  mean %.3f ms, min %.3f ms over %d start-up(s)\n", total / count, fastest, count);
  return 0;
}

}  // namespace
}  // namespace velmora::bench

int main(int argc, char** argv) {
  return velmora::bench::Main(argc, argv);
}
