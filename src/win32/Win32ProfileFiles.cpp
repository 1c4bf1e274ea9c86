#include "win32/Win32ProfileFiles.h"

#include <windows.h>

#include <vector>

#include "win32/Win32Text.h"

namespace velmora::win32 {

std::string Win32ProfileFiles::GetPrivateProfileStringW(const std::string& appName,
                                                        const std::string& keyName,
                                                        const std::string& defaultValue,
                                                        std::uint32_t bufferChars,
                                                        const std::string& fileName) {
  if (bufferChars == 0) return "";
  std::vector<wchar_t> buffer(bufferChars, L'\0');
  const DWORD copied = ::GetPrivateProfileStringW(
      Utf8ToWide(appName).c_str(), Utf8ToWide(keyName).c_str(), Utf8ToWide(defaultValue).c_str(),
      buffer.data(), bufferChars, Utf8ToWide(fileName).c_str());
  return WideToUtf8(std::wstring(buffer.data(), copied));
}

bool Win32ProfileFiles::WritePrivateProfileStringW(const std::string& appName,
                                                   const std::string& keyName,
                                                   const std::string& value,
                                                   const std::string& fileName) {
  return ::WritePrivateProfileStringW(Utf8ToWide(appName).c_str(), Utf8ToWide(keyName).c_str(),
                                      Utf8ToWide(value).c_str(),
                                      Utf8ToWide(fileName).c_str()) != FALSE;
}

}  // namespace velmora::win32
