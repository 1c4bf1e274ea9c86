#include "win32/Win32TaskSchedulerCom.h"

#include <cstring>

#include "win32/Win32Text.h"

namespace velmora::win32 {

GUID ToGuid(const Guid& guid) {
  GUID out{};
  out.Data1 = guid.Data1;
  out.Data2 = guid.Data2;
  out.Data3 = guid.Data3;
  std::memcpy(out.Data4, guid.Data4, sizeof out.Data4);
  return out;
}

Bstr::Bstr(const std::string& text) : value_(SysAllocString(Utf8ToWide(text).c_str())) {}

Bstr::~Bstr() {
  SysFreeString(value_);
}

Variant::Variant(const VariantArg& value) {
  VariantInit(&value_);
  if (value) {
    value_.vt = VT_BSTR;
    value_.bstrVal = SysAllocString(Utf8ToWide(*value).c_str());
  }
}

Variant::~Variant() {
  VariantClear(&value_);
}

}  // namespace velmora::win32
