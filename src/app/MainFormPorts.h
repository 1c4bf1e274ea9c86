// Every Windows facility the main window and the objects it creates reach, wired once by the
// composition root.
#pragma once

#include "app/MainWindowView.h"
#include "hw/ReadWrite.h"
#include "ports/CodePagePort.h"
#include "ports/FilePort.h"
#include "ports/LocalePort.h"
#include "ports/MessageBoxPort.h"
#include "ports/PowerLibraryPort.h"
#include "ports/ProcessPort.h"
#include "ports/ProfileFilePort.h"
#include "ports/RegionPort.h"
#include "ports/RegistryPort.h"
#include "ports/ResourcePort.h"
#include "ports/ShellTrayPort.h"
#include "ports/SystemInfoPort.h"
#include "ports/TaskSchedulerPort.h"
#include "ports/TimerPort.h"
#include "ports/TokenPort.h"

namespace velmora {

struct MainFormPorts {
  IProcess& process;          // the executable's path
  IFiles& files;              // the configuration file and the settings file's existence
  IAnsiCodePage& codePage;    // texts to and from the ANSI code page
  ISystemInfo& system;        // OS identity, processor times
  HardwarePorts hardware;     // the driver: installer, device, mapped memory, CPUID
  IProfileFiles& profiles;    // the settings file
  IRegistry& registry;        // "AutoRun", Run value, hibernation switch
  ITaskSchedulerCom& tasks;   // the logon task
  ITokens& tokens;            // the shut-down privilege
  IPowerLibrary& power;       // PowrProf
  IRegions& regions;          // window outlines
  IResources& resources;      // string table and version resource
  IPictures& pictures;        // the skin's bitmaps
  ILocale& locale;            // the user's language
  IMessageBox& messages;      // every message box of the window
  IShellTray& tray;           // the notification-area icon
  ITimers& timers;            // vmTimer and the tray icon's retry timer
};

}  // namespace velmora
