#include "tools/board/BoardToolArgs.h"

#include <array>
#include <map>

namespace velmora::boardtool {
namespace {

// CPUID leaf 0 returns the vendor in three registers: exactly 12 characters.
constexpr std::size_t kVendorLength = 12;

bool IsKnownOs(const std::string& os) {
  static const std::array<std::string, 4> kReleases = {"win7x86", "win7x64", "xp", "win98"};
  for (const std::string& known : kReleases) {
    if (os == known) return true;
  }
  return false;
}

bool IsPrintableVendor(const std::string& vendor) {
  if (vendor.size() != kVendorLength) return false;
  for (char c : vendor) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

// The option's value slot in the options record, or null for an option without value.
std::string* ValueSlot(const std::string& option, BoardToolOptions& options) {
  const std::map<std::string, std::string*> slots = {
      {"--board", &options.boardFile}, {"--acpidump", &options.acpidump},
      {"--dmi", &options.dmidecode},   {"--config", &options.configFile},
      {"--cpu", &options.cpuVendor},   {"--os", &options.os}};
  const auto found = slots.find(option);
  return found == slots.end() ? nullptr : found->second;
}

// The option's switch in the options record, or null for an option that takes a value.
bool* FlagSlot(const std::string& option, BoardToolOptions& options) {
  if (option == "--log") return &options.log;
  if (option == "--uefi") return &options.uefi;
  if (option == "--help" || option == "-h") return &options.help;
  return nullptr;
}

ParsedArguments Wrong(const std::string& error) {
  return ParsedArguments{std::nullopt, error};
}

}  // namespace

ParsedArguments ParseBoardToolArguments(const std::vector<std::string>& args) {
  BoardToolOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (bool* flag = FlagSlot(arg, options)) {
      *flag = true;
      continue;
    }
    std::string* slot = ValueSlot(arg, options);
    if (slot == nullptr) return Wrong("unknown argument: " + arg);
    if (i + 1 >= args.size() || args[i + 1].empty()) return Wrong(arg + " needs a value");
    *slot = args[++i];
  }
  if (!IsKnownOs(options.os)) return Wrong("unknown Windows release: " + options.os);
  if (!options.cpuVendor.empty() && !IsPrintableVendor(options.cpuVendor)) {
    return Wrong("a processor vendor is 12 printable characters: " + options.cpuVendor);
  }
  return ParsedArguments{options, ""};
}

}  // namespace velmora::boardtool
