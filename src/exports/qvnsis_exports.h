#pragma once

// Every entry point of qvnsis.dll, as installers and rundll32.exe call them. Each definition
// includes this header, so a definition that drifts from its declaration fails to compile; the
// tests type what GetProcAddress gives them from here (decltype), not by hand.
#include <windows.h>

#include "exports/export.h"

// Log
QVNSIS_EXPORT void QVNSIS_Log(const wchar_t* message);
QVNSIS_EXPORT void QVNSIS_LogStartupInfo();

// Install date, installation folder, language
QVNSIS_EXPORT void QVNSIS_SetInstallDate();
QVNSIS_EXPORT void QVNSIS_GetInstallDir(wchar_t* buffer, int size);
QVNSIS_EXPORT void QVNSIS_GetLanguageString(int id, wchar_t* buffer, int count);

// Explorer registrations
QVNSIS_EXPORT void QVNSIS_RegisterContextMenuHandlers();
QVNSIS_EXPORT void QVNSIS_RegisterProtocolHandler();

// Favourites and app-store pinning
QVNSIS_EXPORT void QVNSIS_LoadFavorites(const wchar_t* path);
QVNSIS_EXPORT int QVNSIS_PinAppStore();

// Deskband
QVNSIS_EXPORT int QVNSIS_ShowDeskband();
QVNSIS_EXPORT int QVNSIS_IsDeskbandRegistered();
QVNSIS_EXPORT int QVNSIS_RegisterDeskband();
QVNSIS_RUNDLL_EXPORT void RunFreeDeskbandW(HWND window, HINSTANCE instance, wchar_t* commandLine,
                                           int show);

// Engine control and launch
QVNSIS_EXPORT void QVNSIS_RunTovin(int platformInstalled);
QVNSIS_EXPORT void QVNSIS_RunTovinAndStartApp(int platformInstalled, const char* appName);
QVNSIS_EXPORT void QVNSIS_RunTovinAndSideloadApps();
QVNSIS_EXPORT int QVNSIS_StopTovin();
QVNSIS_EXPORT void QVNSIS_SendUninstallingStats();
QVNSIS_RUNDLL_EXPORT void RunLaunchPlatformW(HWND window, HINSTANCE instance, wchar_t* commandLine,
                                             int show);

// Installer windows and window images
QVNSIS_EXPORT void QVNSIS_SetWindowImage(HWND control, const wchar_t* name);
QVNSIS_EXPORT void QVNSIS_SetWindowImageFromFile(HWND control, const wchar_t* path);
QVNSIS_EXPORT UINT_PTR QVNSIS_StartProgressTextTimer(HWND label);
QVNSIS_EXPORT void QVNSIS_PrepareWindow(HWND dialog, int flag);
QVNSIS_EXPORT void QVNSIS_OpenUninstallSurvey();

// Module lifetime
QVNSIS_EXPORT int QVNSIS_PrepareUnload();
