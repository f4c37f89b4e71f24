#include "support/elevated_installer.h"

namespace qvtest {

namespace {

using OpenProcessTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE*);
using GetTokenInformationFn = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, void*, DWORD, DWORD*);
OpenProcessTokenFn g_openProcessToken = nullptr;
GetTokenInformationFn g_getTokenInformation = nullptr;
HANDLE g_otherProcessToken = nullptr;

BOOL WINAPI OpenTokenNotingOthers(HANDLE process, DWORD access, HANDLE* token) {
  const BOOL opened = g_openProcessToken(process, access, token);
  if (opened && GetProcessId(process) != GetCurrentProcessId()) g_otherProcessToken = *token;
  return opened;
}

BOOL WINAPI OthersAtMediumLevel(HANDLE token, TOKEN_INFORMATION_CLASS kind, void* buffer,
                                DWORD size, DWORD* needed) {
  if (kind != TokenIntegrityLevel || token != g_otherProcessToken) {
    return g_getTokenInformation(token, kind, buffer, size, needed);
  }
  const DWORD total = sizeof(TOKEN_MANDATORY_LABEL) + GetSidLengthRequired(1);
  *needed = total;
  if (!buffer || size < total) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  auto* label = static_cast<TOKEN_MANDATORY_LABEL*>(buffer);
  PSID sid = static_cast<BYTE*>(buffer) + sizeof(TOKEN_MANDATORY_LABEL);
  SID_IDENTIFIER_AUTHORITY mandatory = SECURITY_MANDATORY_LABEL_AUTHORITY;
  InitializeSid(sid, &mandatory, 1);
  *GetSidSubAuthority(sid, 0) = SECURITY_MANDATORY_MEDIUM_RID;
  label->Label.Sid = sid;
  label->Label.Attributes = SE_GROUP_INTEGRITY;
  return TRUE;
}

}  // namespace

ScopedElevatedInstaller::ScopedElevatedInstaller(HMODULE library)
    : openToken_(library, "advapi32.dll", "OpenProcessToken",
                 reinterpret_cast<void*>(&OpenTokenNotingOthers)),
      tokenInformation_(library, "advapi32.dll", "GetTokenInformation",
                        reinterpret_cast<void*>(&OthersAtMediumLevel)) {
  g_openProcessToken = reinterpret_cast<OpenProcessTokenFn>(openToken_.original());
  g_getTokenInformation = reinterpret_cast<GetTokenInformationFn>(tokenInformation_.original());
}

ScopedElevatedInstaller::~ScopedElevatedInstaller() { g_otherProcessToken = nullptr; }

}  // namespace qvtest
