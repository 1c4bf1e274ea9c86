#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// "0x" and upper-case hexadecimal digits, zero-padded to the given count.
std::string Hex(std::uint32_t value, int digits);

}  // namespace velmora
