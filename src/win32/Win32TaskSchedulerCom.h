// COM helpers of the Task Scheduler adapter: BSTR and VARIANT arguments made from UTF-8 text,
// GUIDs, the wrapper base, and ILogonTrigger, which mingw-w64's taskschd.h does not declare.
#pragma once

#include <windows.h>
// After windows.h, which they build on.
#include <oleauto.h>
#include <taskschd.h>

#include <string>

#include "ports/TaskSchedulerPort.h"

namespace velmora::win32 {

// ILogonTrigger: ITrigger with the delay and the user. Only ITrigger's methods are called, but
// the whole vtable is declared as the SDK has it.
struct ILogonTriggerCom : public ::ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UserId(BSTR* user) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UserId(BSTR user) = 0;
};

GUID ToGuid(const Guid& guid);

// A BSTR for the length of one call.
class Bstr {
 public:
  explicit Bstr(const std::string& text);
  ~Bstr();
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  operator BSTR() const { return value_; }

 private:
  BSTR value_;
};

// A VARIANT argument: VT_EMPTY, or a VT_BSTR.
class Variant {
 public:
  explicit Variant(const VariantArg& value);
  ~Variant();
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  const VARIANT& Get() const { return value_; }

 private:
  VARIANT value_;
};

inline VARIANT_BOOL ToVariantBool(bool value) {
  return value ? VARIANT_TRUE : VARIANT_FALSE;
}

void CountWrapper(int change);

// Holds one COM reference for a port interface.
template <class Port, class Com>
class ComWrapper : public Port {
 public:
  explicit ComWrapper(Com* com) : com_(com) { CountWrapper(+1); }
  std::uint32_t Release() override {
    const ULONG left = com_->Release();
    delete this;
    return left;
  }
  Com* Raw() const { return com_; }

 protected:
  ~ComWrapper() override { CountWrapper(-1); }
  Com* com_;
};

// Hands a COM pointer that a call returned to the caller as a new wrapper. Make the call in a
// statement of its own: raw is taken by value, and arguments are evaluated in no fixed order.
template <class Wrapper, class Port, class Com>
HResult HandOut(HRESULT hr, Com* raw, Port** out) {
  if (out == nullptr) {
    if (raw != nullptr) raw->Release();
    return E_POINTER;
  }
  *out = raw != nullptr ? new Wrapper(raw) : nullptr;
  if (FAILED(hr) && *out != nullptr) {
    (*out)->Release();
    *out = nullptr;
  }
  return hr;
}

}  // namespace velmora::win32
