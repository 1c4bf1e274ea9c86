#include "tests/fuzz/KernelChecks.h"

#include <map>

namespace velmora::fuzz {
namespace {

bool AtControlByte(std::uint64_t physical, std::optional<std::uint64_t> controlByte) {
  return controlByte.has_value() && physical == *controlByte;
}

const char* WritableMappingFault(const sim::SimKernel& kernel,
                                 std::optional<std::uint64_t> controlByte, std::size_t first) {
  const auto& mappings = kernel.Mappings();
  for (std::size_t i = first; i < mappings.size(); ++i) {
    if (mappings[i].access != driver::Access::kReadWrite) continue;
    if (mappings[i].size != 1 || !AtControlByte(mappings[i].physical, controlByte)) {
      return "a writable mapping of something else than the control byte";
    }
  }
  return nullptr;
}

const char* WriteFault(const sim::SimKernel& kernel, std::optional<std::uint64_t> controlByte,
                       std::size_t first) {
  const auto& writes = kernel.Writes();
  for (std::size_t i = first; i < writes.size(); ++i) {
    if (!AtControlByte(writes[i].physical, controlByte)) return "a write beside the control byte";
  }
  return nullptr;
}

}  // namespace

const char* KernelFault(const sim::SimKernel& kernel, std::optional<std::uint64_t> controlByte,
                        std::size_t firstMapping, std::size_t firstWrite) {
  if (kernel.LockDepth() != 0) return "the lock is still held";
  if (kernel.Irql() != sim::kPassiveLevel) return "the IRQL was left raised";
  if (kernel.Misuses() != 0) return "a misuse of the lock or of a mapping";
  if (kernel.RamMappings() != 0) return "a page of RAM was mapped";
  if (kernel.LiveMappings() != 0) return "a mapping was left behind";
  if (const char* fault = WritableMappingFault(kernel, controlByte, firstMapping)) return fault;
  return WriteFault(kernel, controlByte, firstWrite);
}

bool MixedCaching(const sim::SimKernel& kernel) {
  constexpr std::uint64_t kPage = 0x1000;
  std::map<std::uint64_t, driver::Caching> pages;
  for (const sim::SimKernel::Mapping& mapping : kernel.Mappings()) {
    const std::uint64_t last = (mapping.physical + (mapping.size - 1)) / kPage;
    for (std::uint64_t page = mapping.physical / kPage; page <= last; ++page) {
      const auto [at, added] = pages.emplace(page, mapping.caching);
      if (!added && at->second != mapping.caching) return true;
    }
  }
  return false;
}

}  // namespace velmora::fuzz
