// A deskband library whose registration hangs, for the worst case of QVNSIS_RegisterDeskband:
// regsvr32.exe loads it and DllRegisterServer says it was reached, then waits until the benchmark
// lets it go (the named events below), or two minutes at most, so no regsvr32.exe outlives the
// run.
#include <windows.h>

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() {
  if (HANDLE reached =
          OpenEventW(EVENT_MODIFY_STATE, FALSE, L"qvnsis-bench-registration-reached")) {
    SetEvent(reached);
    CloseHandle(reached);
  }
  HANDLE letGo = CreateEventW(nullptr, TRUE, FALSE, L"qvnsis-bench-registration-let-go");
  if (letGo) {
    WaitForSingleObject(letGo, 120000);
    CloseHandle(letGo);
  }
  return S_OK;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
