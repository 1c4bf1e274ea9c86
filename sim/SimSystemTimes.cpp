#include "sim/SimSystemTimes.h"

namespace velmora::sim {

void SimSystemTimes::Run(std::uint64_t interval, std::uint32_t busyPercent,
                         std::uint32_t kernelPercentOfBusy) {
  if (busyPercent > 100) busyPercent = 100;
  if (kernelPercentOfBusy > 100) kernelPercentOfBusy = 100;
  const std::uint64_t all = interval * processors_;
  const std::uint64_t busy = all * busyPercent / 100;
  const std::uint64_t kernelBusy = busy * kernelPercentOfBusy / 100;
  const std::uint64_t idle = all - busy;
  times_.idle += idle;
  times_.kernel += idle + kernelBusy;
  times_.user += busy - kernelBusy;
}

}  // namespace velmora::sim
