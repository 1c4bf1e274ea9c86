#include "sim/kernel/SimVxd.h"

#include "driver/BufferAccess.h"
#include "hw/DriverProtocol.h"

namespace velmora::sim {
namespace {

namespace protocol = velmora::driver_protocol;

constexpr std::uint32_t kCpuIdCode = 0x222848;
constexpr std::uint32_t kCpuIdRecord = 16;
constexpr std::uint32_t kAddressRecord = 4;

}  // namespace

driver::IoResult SimVxd::Dispatch(const driver::IoRequest& request) {
  if (request.kind != driver::IoRequest::Kind::kDeviceControl) return {};
  std::uint8_t* record = request.systemBuffer;
  switch (request.controlCode) {
    case protocol::IOCTL_MAP_PHYSICAL_MEMORY:
      if (request.inputLength < kAddressRecord || request.outputLength < kAddressRecord) break;
      return Map(record);
    case protocol::IOCTL_UNMAP_PHYSICAL_MEMORY:
      if (request.inputLength < kAddressRecord) break;
      return Unmap(record);
    case kCpuIdCode:
      if (request.inputLength < 4 || request.outputLength < kCpuIdRecord) break;
      return CpuId(record);
    default:
      return {};
  }
  return {protocol::kStatusInvalidParameter, 0};
}

driver::IoResult SimVxd::Map(std::uint8_t* record) {
  const std::uint32_t physical = driver::LoadU32(record);
  const std::uint32_t pageOffset = physical & (kPageSize - 1);
  const auto page = space_.MapView(physical - pageOffset, kPageSize, kSystemPages);
  if (!page) return {protocol::kStatusUnsuccessful, 0};
  driver::StoreU32(record, *page + pageOffset);
  return {protocol::kStatusSuccess, kAddressRecord};
}

driver::IoResult SimVxd::Unmap(const std::uint8_t* record) {
  const bool freed = space_.UnmapViewContaining(driver::LoadU32(record));
  return {freed ? protocol::kStatusSuccess : protocol::kStatusUnsuccessful, 0};
}

driver::IoResult SimVxd::CpuId(std::uint8_t* record) {
  const CpuIdRegisters registers = machine_.CpuId(driver::LoadU32(record));
  driver::StoreU32(record + 0, registers.eax);
  driver::StoreU32(record + 4, registers.ebx);
  driver::StoreU32(record + 8, registers.ecx);
  driver::StoreU32(record + 12, registers.edx);
  return {protocol::kStatusSuccess, kCpuIdRecord};
}

}  // namespace velmora::sim
