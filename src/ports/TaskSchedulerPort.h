// Task Scheduler 2.0 as its COM interfaces present it, one method per COM call the program
// makes, with the same arguments and HRESULTs. Every interface pointer handed out through an
// out parameter carries one reference that the caller gives back with Release; after that the
// pointer must not be used. Strings are UTF-8 here; the Win32 adapter makes BSTRs of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ports/WinTypes.h"

namespace velmora {

using HResult = std::int32_t;

// A VARIANT argument: nullopt is an empty variant (VT_EMPTY), a string is a VT_BSTR.
using VariantArg = std::optional<std::string>;

namespace com {
constexpr HResult Hr(std::uint32_t code) {
  return static_cast<HResult>(code);
}
constexpr bool Succeeded(HResult hr) {
  return hr >= 0;
}

inline constexpr HResult kSOk = 0;
inline constexpr HResult kSFalse = 1;
inline constexpr HResult kENotImpl = Hr(0x80004001);
inline constexpr HResult kENoInterface = Hr(0x80004002);
inline constexpr HResult kEPointer = Hr(0x80004003);
inline constexpr HResult kEFail = Hr(0x80004005);
inline constexpr HResult kEAccessDenied = Hr(0x80070005);
inline constexpr HResult kEOutOfMemory = Hr(0x8007000E);
inline constexpr HResult kEInvalidArg = Hr(0x80070057);
inline constexpr HResult kRpcEChangedMode = Hr(0x80010106);
inline constexpr HResult kRpcETooLate = Hr(0x80010119);  // security already set for the process
inline constexpr HResult kCoENotInitialized = Hr(0x800401F0);
inline constexpr HResult kRegdbEClassNotReg = Hr(0x80040154);
inline constexpr HResult kHrFileNotFound = Hr(0x80070002);     // HRESULT_FROM_WIN32(2)
inline constexpr HResult kHrAlreadyExists = Hr(0x800700B7);    // HRESULT_FROM_WIN32(183)
inline constexpr HResult kHrOnlyIfConnected = Hr(0x800704E3);  // HRESULT_FROM_WIN32(1251)
inline constexpr HResult kSchedEMissingNode = Hr(0x80041319);  // task XML lacks a required part

// CoInitializeEx, CoInitializeSecurity, CoCreateInstance arguments.
inline constexpr std::uint32_t kCoinitApartmentThreaded = 0x2;
inline constexpr std::int32_t kDefaultAuthnServices = -1;
inline constexpr std::uint32_t kRpcCAuthnLevelPktPrivacy = 6;
inline constexpr std::uint32_t kRpcCImpLevelImpersonate = 3;
inline constexpr std::uint32_t kEoacNone = 0;
inline constexpr std::uint32_t kClsctxInprocServer = 0x1;

// taskschd.h enumerations.
inline constexpr std::int32_t kTaskRunlevelLua = 0;
inline constexpr std::int32_t kTaskRunlevelHighest = 1;
inline constexpr std::int32_t kTaskTriggerLogon = 9;
inline constexpr std::int32_t kTaskActionExec = 0;
inline constexpr std::int32_t kTaskCreate = 2;
inline constexpr std::int32_t kTaskUpdate = 4;
inline constexpr std::int32_t kTaskCreateOrUpdate = 6;
inline constexpr std::int32_t kTaskLogonInteractiveToken = 3;

// Public identifiers of Task Scheduler 2.0.
inline constexpr Guid kClsidTaskScheduler{
    0x0F87369F, 0xA4E5, 0x4CFC, {0xBD, 0x3E, 0x73, 0xE6, 0x15, 0x45, 0x72, 0xDD}};
inline constexpr Guid kIidITaskService{
    0x2FABA4C7, 0x4DA9, 0x4013, {0x96, 0x97, 0x20, 0xCC, 0x3F, 0xD4, 0x0F, 0x85}};
inline constexpr Guid kIidILogonTrigger{
    0x72DADE38, 0xFAE4, 0x4B3E, {0xBA, 0xF4, 0x5D, 0x00, 0x9A, 0xF0, 0x2B, 0x1C}};
inline constexpr Guid kIidIExecAction{
    0x4C3D624D, 0xFD6B, 0x49A3, {0xB9, 0xB7, 0x09, 0xCB, 0x3C, 0xD3, 0xF0, 0x47}};
}  // namespace com

// The Task Scheduler's interfaces, named as in taskschd.h.
namespace tasks {

class IUnknown {
 public:
  // Gives back one reference; returns the count left.
  virtual std::uint32_t Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};

class IRegisteredTask : public IUnknown {};

class IRegistrationInfo : public IUnknown {
 public:
  virtual HResult put_Author(const std::string& author) = 0;
};

class IPrincipal : public IUnknown {
 public:
  virtual HResult put_RunLevel(std::int32_t runLevel) = 0;
};

class ITaskSettings : public IUnknown {
 public:
  virtual HResult put_StartWhenAvailable(bool value) = 0;
  // An empty string means the task is never deleted.
  virtual HResult put_DeleteExpiredTaskAfter(const std::string& duration) = 0;
  // An ISO 8601 duration; "PT0S" is the documented "no limit" (the default is "PT72H").
  virtual HResult put_ExecutionTimeLimit(const std::string& duration) = 0;
  virtual HResult put_DisallowStartIfOnBatteries(bool value) = 0;
  // Whether a running instance is stopped when the machine goes on battery (default true).
  virtual HResult put_StopIfGoingOnBatteries(bool value) = 0;
};

class ILogonTrigger : public IUnknown {
 public:
  virtual HResult put_Enabled(bool value) = 0;  // ITrigger::put_Enabled
};

// A trigger as the collection creates it (ITrigger).
class ITrigger : public IUnknown {
 public:
  // QueryInterface(IID_ILogonTrigger, ...).
  virtual HResult QueryInterface(ILogonTrigger** logonTrigger) = 0;
};

class ITriggerCollection : public IUnknown {
 public:
  virtual HResult Create(std::int32_t type, ITrigger** trigger) = 0;
};

class IExecAction : public IUnknown {
 public:
  virtual HResult put_Path(const std::string& path) = 0;
};

// An action as the collection creates it (IAction).
class IAction : public IUnknown {
 public:
  // QueryInterface(IID_IExecAction, ...).
  virtual HResult QueryInterface(IExecAction** execAction) = 0;
};

class IActionCollection : public IUnknown {
 public:
  virtual HResult Create(std::int32_t type, IAction** action) = 0;
};

class ITaskDefinition : public IUnknown {
 public:
  virtual HResult get_RegistrationInfo(IRegistrationInfo** info) = 0;
  virtual HResult get_Principal(IPrincipal** principal) = 0;
  virtual HResult get_Settings(ITaskSettings** settings) = 0;
  virtual HResult get_Triggers(ITriggerCollection** triggers) = 0;
  virtual HResult get_Actions(IActionCollection** actions) = 0;
};

class ITaskFolder : public IUnknown {
 public:
  virtual HResult DeleteTask(const std::string& name, std::int32_t flags) = 0;
  virtual HResult RegisterTaskDefinition(const std::string& path, ITaskDefinition* definition,
                                         std::int32_t flags, const VariantArg& userId,
                                         const VariantArg& password, std::int32_t logonType,
                                         const VariantArg& sddl, IRegisteredTask** task) = 0;
};

class ITaskService : public IUnknown {
 public:
  virtual HResult Connect(const VariantArg& serverName, const VariantArg& user,
                          const VariantArg& domain, const VariantArg& password) = 0;
  virtual HResult GetFolder(const std::string& path, ITaskFolder** folder) = 0;
  virtual HResult NewTask(std::uint32_t flags, ITaskDefinition** definition) = 0;
};

}  // namespace tasks

// The COM library calls around the Task Scheduler (ole32).
class ITaskSchedulerCom {
 public:
  virtual ~ITaskSchedulerCom() = default;

  virtual HResult CoInitializeEx(std::uint32_t coInit) = 0;
  // CoInitializeSecurity(NULL, authServices, NULL, NULL, authnLevel, impLevel, NULL,
  // capabilities, NULL).
  virtual HResult CoInitializeSecurity(std::int32_t authServices, std::uint32_t authnLevel,
                                       std::uint32_t impLevel, std::uint32_t capabilities) = 0;
  // CoCreateInstance(clsid, NULL, clsContext, iid, ...) for the Task Scheduler's service.
  virtual HResult CoCreateInstance(const Guid& clsid, std::uint32_t clsContext, const Guid& iid,
                                   tasks::ITaskService** service) = 0;
  virtual void CoUninitialize() = 0;
};

}  // namespace velmora
