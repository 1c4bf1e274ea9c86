// The few file operations of the demo program on the real Windows file system. Paths and texts
// are UTF-8, as everywhere in the program; file contents are bytes.
#pragma once

#include <optional>
#include <string>

namespace velmora::demo {

// The folder of the running executable, ending in a backslash.
std::string ProgramFolder();

// The whole file; nullopt when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);
// Writes `contents` to a temporary file beside `path`, flushes it, then moves it over `path`
// in one step: a reader sees the old file or the new one, never a part of either.
bool ReplaceFileContents(const std::string& path, const std::string& contents);
// Appends one line (CR LF added), creating the file when needed.
bool AppendLine(const std::string& path, const std::string& line);

}  // namespace velmora::demo
