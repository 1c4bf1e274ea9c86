#include "power/Cpu.h"

#include <array>

namespace velmora {
namespace {

void AppendLittleEndian(std::string& text, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) text += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::string CpuVendorString(const CpuIdRegisters& leaf0) {
  std::string vendor;
  AppendLittleEndian(vendor, leaf0.ebx);
  AppendLittleEndian(vendor, leaf0.edx);
  AppendLittleEndian(vendor, leaf0.ecx);
  return vendor;
}

std::int32_t CpuVendorCode(const std::string& vendor) {
  static const std::array<const char*, 6> kVendors = {"GenuineIntel", "AuthenticAMD",
                                                      "CyrixInstead", "UMC UMC UMC ",
                                                      "CentaurHauls", "RiseRiseRise"};
  for (std::size_t i = 0; i < kVendors.size(); ++i) {
    if (vendor == kVendors[i]) return static_cast<std::int32_t>(i + 1);
  }
  return kCpuVendorOther;
}

TCpu::TCpu(TReadWrite& readWrite) : readWrite_(readWrite) {}

std::int32_t TCpu::GetVendor() {
  if (vendor_ != 0) return vendor_;
  CpuIdRegisters registers;
  registers.eax = 0;
  readWrite_.ExecuteCpuId(registers);
  vendor_ = CpuVendorCode(CpuVendorString(registers));
  return vendor_;
}

}  // namespace velmora
