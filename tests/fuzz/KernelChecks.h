// What the driver may leave in the simulated kernel after any request, on any firmware: the
// lock free and the IRQL back at passive level, nothing mapped any more, no page of RAM the
// memory manager manages ever mapped, no misuse of the lock or of a mapping (a write through a
// read-only one, a bad unmap, a memory call outside the lock), and no write but to the board's
// control byte, through the one kind of writable mapping there is: that byte alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "sim/kernel/SimKernel.h"

namespace velmora::fuzz {

// What is wrong, or null. Mappings and writes are looked at from the given indexes on (those
// before were looked at already).
const char* KernelFault(const sim::SimKernel& kernel, std::optional<std::uint64_t> controlByte,
                        std::size_t firstMapping = 0, std::size_t firstWrite = 0);

// Whether a page was mapped both cached and uncached, ever: an alias of two memory types, which
// the processor does not allow (device memory is mapped uncached, firmware tables cached).
bool MixedCaching(const sim::SimKernel& kernel);

}  // namespace velmora::fuzz
