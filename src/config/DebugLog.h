// The process-wide debug log: one file, lines ending in CR LF, written in the ANSI code page,
// no time stamps. Writing while the log is disabled does nothing.
#pragma once

#include <string>

#include "ports/CodePagePort.h"
#include "ports/FilePort.h"

namespace velmora {

// Wires the log to the platform; the composition root (or a test) calls it before anything logs.
// Passing nulls unbinds; a closed, unbound log ignores every call.
void DebugLogBind(IFiles* files, IAnsiCodePage* codePage);

// Creates the file anew (create-always, no sharing, write-through). The log counts as enabled
// even when the file could not be created: every later write then fails silently.
void DebugLogOpen(const std::string& path);
void DebugLogWrite(const std::string& text);
void DebugLogClose();
bool DebugLogEnabled();

}  // namespace velmora
