#include "foundation/os/process_image.h"

#include <winternl.h>

#include <vector>

#include "foundation/os/windows_version.h"

namespace QVOS {
namespace {

// ProcessImageFileName of winternl.h's process information classes: the image's path in the
// system's own form (a device path), on Windows XP and later.
constexpr ULONG kProcessImageFileName = 27;
// A path is at most 32767 characters.
constexpr size_t kImageBufferBytes = sizeof(UNICODE_STRING) + 32768 * sizeof(wchar_t);

using NtQueryInformationProcessFn = LONG(NTAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);

}  // namespace

DWORD processImageAccess() {
  // PROCESS_QUERY_LIMITED_INFORMATION is unknown to Windows XP, which refuses a handle asking for
  // it.
  return getWindowsVersion() >= WindowsVersion::WinVista ? PROCESS_QUERY_LIMITED_INFORMATION
                                                         : PROCESS_QUERY_INFORMATION;
}

bool processImageName(HANDLE process, std::wstring* name) {
  // ntdll is in every process and never unloaded. Looked up rather than imported, as RtlGetVersion
  // is: the import table names no ntdll function.
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto query = ntdll ? reinterpret_cast<NtQueryInformationProcessFn>(
                                 GetProcAddress(ntdll, "NtQueryInformationProcess"))
                           : nullptr;
  if (!query || !process) return false;
  std::vector<unsigned char> buffer(kImageBufferBytes);
  ULONG written = 0;
  if (query(process, kProcessImageFileName, buffer.data(), static_cast<ULONG>(buffer.size()),
            &written) < 0) {
    return false;
  }
  const auto* path = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
  if (!path->Buffer || path->Length == 0) return false;
  const std::wstring full(path->Buffer, path->Length / sizeof(wchar_t));
  const size_t slash = full.find_last_of(L"\\/");
  *name = slash == std::wstring::npos ? full : full.substr(slash + 1);
  return !name->empty();
}

}  // namespace QVOS
