// A deskband library whose registration hangs, for the worst case of QVNSIS_RegisterDeskband:
// regsvr32.exe loads it and DllRegisterServer waits until the benchmark lets it go (the named
// event below), or two minutes at most, so no regsvr32.exe outlives the run.
#include <windows.h>

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() {
  HANDLE letGo = CreateEventW(nullptr, TRUE, FALSE, L"qvnsis-bench-registration-let-go");
  if (letGo) {
    WaitForSingleObject(letGo, 120000);
    CloseHandle(letGo);
  }
  return S_OK;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
