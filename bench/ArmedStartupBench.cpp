// Times the main window's start on the default simulated board up to the armed state, as the
// program starts at logon with autostart registered: construction (configuration, driver client
// with its driver installation, processor identification, platform checks with the board name,
// the ACPI tables and the PCI scan, settings, outlines, load sampler, language, skin), FormCreate,
// FormShow (registry and power scheme objects) and FormActivate ("AutoRun" = 1: the control byte
// gets Fast and enabled, the idle timer is switched on). Prints the time and the driver requests
// of each stage, and checks that every start ended armed.
//
//   velmora_armed_startup_bench [starts]      (default 100)
//
// The simulated world (board, Windows, registry, resources, skin) is built before the clock
// starts; what is timed is the program's own work against it.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "MainFormTestSupport.h"
#include "bench/RequestTable.h"
#include "power/AdvReg.h"

#ifndef VELMORA_BENCH_BUILD
#define VELMORA_BENCH_BUILD "unknown"
#endif

namespace velmora::bench {
namespace {

constexpr int kStages = 4;
constexpr std::array<const char*, kStages> kStageNames = {"construction", "FormCreate", "FormShow",
                                                          "FormActivate"};

struct ArmedStart {
  std::array<double, kStages> milliseconds{};
  std::array<DriverRequestCounts, kStages> requests{};
  bool armed = false;
  int controlByte = -1;
  int boxes = 0;
};

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point begin) {
  return std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
}

// Autostart registered and the Fast mode saved, as after an Apply and a logon.
void ShapeLogonStart(mainformtest::MainFormRig& rig) {
  rig.registry.SetDword(reg::kHkeyCurrentUser, kVelmoraUserKey, kAutoRunValue, 1);
  rig.SetProgramFile("Cfg.ini", "[Config]\r\nVelmoraMode=3\r\n");
}

// The requests the driver client has sent so far (none before it exists).
DriverRequestCounts SentSoFar(TvmMainForm& form) {
  const auto& driver = form.Objects().ReadWrite;
  return driver ? driver->Requests() : DriverRequestCounts{};
}

ArmedStart StartOnce() {
  mainformtest::MainFormRig rig;
  ShapeLogonStart(rig);
  ArmedStart start;
  DriverRequestCounts before;
  auto stage = [&](int index, auto&& step) {
    const Clock::time_point begin = Clock::now();
    step();
    start.milliseconds[index] = Since(begin);
    const DriverRequestCounts now = SentSoFar(rig.Form());
    start.requests[index] = now - before;
    before = now;
  };
  stage(0, [&] { rig.MakeForm(); });
  TvmMainForm& form = rig.Form();
  stage(1, [&] { form.FormCreate(); });
  stage(2, [&] { form.FormShow(); });
  stage(3, [&] { form.FormActivate(); });
  start.armed = form.Timer().Enabled() && form.HideOnNextTick && form.ShowTrayOnIdle;
  if (const auto byte = rig.ControlByte()) start.controlByte = *byte;
  start.boxes = static_cast<int>(rig.Boxes().size());
  return start;
}

double Total(const std::array<double, kStages>& milliseconds) {
  double total = 0;
  for (double ms : milliseconds) total += ms;
  return total;
}

void PrintRequests(const ArmedStart& start) {
  std::printf("Driver requests of one start, by stage:\n");
  PrintRequestHeader("stage");
  DriverRequestCounts all;
  for (int i = 0; i < kStages; ++i) {
    PrintRequestRow(kStageNames[i], start.requests[i]);
    all = all + start.requests[i];
  }
  PrintRequestRow("to armed", all);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void PrintTimes(const std::vector<ArmedStart>& starts) {
  std::printf("\nTime to armed (ms; mean, median, min over %zu start(s)):\n", starts.size());
  for (int i = 0; i <= kStages; ++i) {
    std::vector<double> values;
    for (const ArmedStart& s : starts)
      values.push_back(i < kStages ? s.milliseconds[i] : Total(s.milliseconds));
    double sum = 0;
    for (double v : values) sum += v;
    std::printf("  %-14s %9.3f %9.3f %9.3f\n", i < kStages ? kStageNames[i] : "to armed",
                sum / values.size(), Median(values),
                *std::min_element(values.begin(), values.end()));
  }
}

int Main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 100;
  if (count <= 0) {
    std::fprintf(stderr, "usage: velmora_armed_startup_bench [starts > 0]\n");
    return 2;
  }
  std::vector<ArmedStart> starts;
  for (int i = 0; i < count; ++i) starts.push_back(StartOnce());
  const auto unarmed =
      std::count_if(starts.begin(), starts.end(), [](const ArmedStart& s) { return !s.armed; });
  const ArmedStart& first = starts.front();
  std::printf(
      "velmora_armed_startup_bench: %d start(s) of the main window on the default "
      "simulated board\n",
      count);
  std::printf("  Windows 7 x86, \"AutoRun\" = 1, mode 3 (Fast), no Velmora.ini\n");
  std::printf("  build: %s\n", VELMORA_BENCH_BUILD);
  std::printf(
      "  armed: %d of %d start(s); control byte after the first: 0x%02X; message boxes: %d\n\n",
      count - static_cast<int>(unarmed), count, first.controlByte, first.boxes);
  PrintRequests(first);
  PrintTimes(starts);
  // A start that did not arm measured something else: say so in the exit code.
  return unarmed ? 1 : 0;
}

}  // namespace
}  // namespace velmora::bench

int main(int argc, char** argv) {
  return velmora::bench::Main(argc, argv);
}
