// The driver requests of a start-up, by kind, as both start-up benchmarks print them.
#pragma once

#include <cstdio>

#include "hw/ReadWrite.h"

namespace velmora::bench {

inline void PrintRequestHeader(const char* first) {
  std::printf("  %-28s %6s %7s %8s %9s %9s %10s %7s\n", first, "read", "ranges", "control",
              "PCI byte", "PCI word", "PCI dword", "total");
}

inline void PrintRequestRow(const char* name, const DriverRequestCounts& r) {
  std::printf("  %-28s %6u %7u %8u %9u %9u %10u %7u\n", name, r.read, r.ranges, r.controlByte,
              r.pciByte, r.pciWord, r.pciDword, r.Total());
}

}  // namespace velmora::bench
