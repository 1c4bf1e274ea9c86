// How the fuzz targets report: a fault aborts the run (so that libFuzzer keeps the input and
// names it a crash), and VELMORA_FUZZ_VERBOSE=1 makes a target tell what an input did (for
// looking at one input, not for fuzzing).
#pragma once

#include <cstdio>
#include <cstdlib>

namespace velmora::fuzz {

[[noreturn]] inline void Fault(const char* target, const char* what) {
  std::fprintf(stderr, "%s: %s\n", target, what);
  __builtin_trap();
}

// Whether the environment variable is set to something other than empty or 0.
inline bool EnvironmentSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' && *value != '0';
}

inline bool Verbose() {
  static const bool verbose = EnvironmentSet("VELMORA_FUZZ_VERBOSE");
  return verbose;
}

}  // namespace velmora::fuzz
