// Reading the hardware configuration file from disk, whole, through the Windows file calls.
#pragma once

#include <cstdint>
#include <string>

#include "ports/CodePagePort.h"
#include "ports/FilePort.h"

namespace velmora {

// A hardware configuration file is a few KiB. Anything larger than this is not one, and is not
// worth holding in memory: it is treated like a missing file.
inline constexpr std::uint32_t kMaxIniFileBytes = 16u * 1024u * 1024u;

// The file's bytes; empty when it is missing, cannot be opened or read, or is too large.
std::string ReadIniFileBytes(const std::string& path, IFiles& files);

// The file's text as UTF-8 (see DecodeIniText); empty in the same cases.
std::string LoadIniText(const std::string& path, IFiles& files, IAnsiCodePage& codePage);

// The folder part of a Windows path, with its trailing backslash ("C:\Tools\a.ini" gives
// "C:\Tools\"); empty when the path names no folder.
std::string FolderOfPath(const std::string& path);

}  // namespace velmora
