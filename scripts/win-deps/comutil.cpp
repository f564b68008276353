// The one piece of the compiler's COM support library that the unrar
// library's Windows code needs and MinGW-w64 does not provide: isnt.cpp builds
// _bstr_t objects from narrow strings for its WMI query, and _bstr_t (in
// MinGW's comutil.h) leaves the conversion to this function. Like Microsoft's
// own, it reads the string in the ANSI code page, gives null for null, and
// returns null when it cannot convert or allocate (_bstr_t then reports
// E_OUTOFMEMORY).
#include <windows.h>
#include <oleauto.h>
#include <comutil.h>

namespace _com_util {

BSTR WINAPI ConvertStringToBSTR(const char *pSrc)
{
  if (pSrc == nullptr)
    return nullptr;
  // Both counts include the terminating zero; a BSTR's length does not.
  const int size = MultiByteToWideChar(CP_ACP, 0, pSrc, -1, nullptr, 0);
  if (size <= 0)
    return nullptr;
  BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(size - 1));
  if (result == nullptr)
    return nullptr;
  if (MultiByteToWideChar(CP_ACP, 0, pSrc, -1, result, size) != size) {
    SysFreeString(result);
    return nullptr;
  }
  return result;
}

} // namespace _com_util
