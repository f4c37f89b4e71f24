#include "shell/launch/platform_launch.h"

#include <objbase.h>

#include <cstdint>
#include <string>

#include "foundation/localization/localized_string.h"
#include "foundation/log/log.h"
#include "foundation/os/integrity_level.h"
#include "foundation/os/shell_execute.h"
#include "foundation/os/shell_process.h"
#include "foundation/os/windows_version.h"
#include "foundation/owners/com_initializer.h"
#include "foundation/owners/scoped_handle.h"
#include "foundation/settings/qv_paths.h"
#include "foundation/settings/qv_settings.h"
#include "shell/deskband/qv_deskband_util.h"
#include "shell/deskband/taskbar_hosts_deskbands.h"
#include "shell/explorer_registrations/platform_explorer_utils.h"
#include "shell/windows8/windows8_manager.h"

namespace {

constexpr wchar_t kSource[] = L"RunLaunchPlatformW: ";
constexpr int kShellProcessTries = 5;
constexpr DWORD kShellProcessRetryMs = 1000;
constexpr DWORD kModernUiPollMs = 500;
// A longer setting (0xFFFFFFFF would be a sleep without end) leaves a rundll32.exe behind for
// no purpose.
constexpr uint32_t kMaxLaunchDelayMs = 5 * 60 * 1000;

void StartEngine() {
  const std::wstring engine = QVPaths::getPath(PathKind::EngineExe, Expansion::kExpanded);
  // An empty file name would have the shell open the current folder in Explorer instead.
  if (engine.empty()) {
    Log::Stream() << kSource << L"installation directory not found";
    return;
  }
  QVOS::shellExecute(engine, std::wstring());
}

void StartEngineAfterDelay() {
  uint32_t delayMs = QVSettings::getDword(QVSettings::kLaunchPlatformDelayMs,
                                          QVSettings::kLaunchPlatformDelayMsDefault);
  Log::Stream() << kSource << L"menu not enabled; sleeping for " << delayMs << L"msec";
  if (delayMs > kMaxLaunchDelayMs) {
    Log::Stream() << kSource << L"LaunchPlatformDelayMs capped to " << kMaxLaunchDelayMs << L"msec";
    delayMs = kMaxLaunchDelayMs;
  }
  Sleep(delayMs);
  StartEngine();
}

// Explorer runs while the user logs on: the shell may take a few seconds to appear.
ScopedHandle FindShellProcess() {
  ScopedHandle shell;
  int tries = 0;
  for (; tries < kShellProcessTries; ++tries) {
    shell.reset(QVOS::openShellProcess());
    if (shell) break;
    if (tries > 0) Sleep(kShellProcessRetryMs);
  }
  Log::Stream() << kSource << L"shell process count = " << tries;
  return shell;
}

// A high-integrity Explorer (user account control off) loads classes registered machine-wide
// only; a medium one takes the user's registration.
bool RequireMachineWideRegistration() {
  ScopedHandle shell = FindShellProcess();
  if (!shell) return QVOS::isHighIntegrity();
  Log::Stream() << kSource << L"found shell process";
  uint32_t level = 0;
  if (QVOS::getIntegrityLevel(shell.get(), &level)) return level == QVOS::kHighIntegrity;
  return QVOS::isHighIntegrity();
}

bool RegistrationRequired(bool requireHKLM) {
  if (QVDeskbandUtil::LoadInstalledCLSID()) {
    if (requireHKLM && !QVDeskbandUtil::IsRegisteredMachineWide()) {
      Log::Stream() << kSource << L"registering because require HKLM but not present";
      return true;
    }
    return false;
  }
  Log::Stream() << kSource << L"registering because not registered";
  return true;
}

// Windows 8 and 8.1 only: from Windows 10 on the Start menu is a window again.
bool HasModernUi(QVOS::WindowsVersion version) {
  return version == QVOS::WindowsVersion::Win8 || version == QVOS::WindowsVersion::Win81;
}

// The Start screen or a full-screen app would hide the deskband the moment it appears.
void WaitForModernUiToGo(HINSTANCE instance) {
  Log::Stream() << kSource << L"preparing to detect the modern ui";
  Windows8Manager& manager = Windows8Manager::Instance();
  manager.Start(instance);
  while (manager.IsModernUIVisible()) Sleep(kModernUiPollMs);
  Log::Stream() << kSource << L"modern ui gone";
  manager.Stop();
}

void LaunchThroughDeskband(HINSTANCE instance) {
  const bool requireHKLM = RequireMachineWideRegistration();
  const bool registrationRequired = RegistrationRequired(requireHKLM);
  Log::Stream() << kSource << L"registration required = " << (registrationRequired ? 1 : 0);

  if (registrationRequired) {
    if (!QVDeskbandUtil::RegisterIfRequired(true)) {
      Log::Stream() << kSource << L"could not register deskband; aborting launch";
      return;
    }
    Log::Stream() << kSource << L"registering deskband success";
    if (HasModernUi(QVOS::getWindowsVersion())) WaitForModernUiToGo(instance);
  }

  Log::Stream() << kSource << L"launching";
  QVDeskbandUtil::Show();

  if (registrationRequired) {
    PlatformExplorerUtils::RegisterContextMenuHandlers(
        GetLocalizedString(PlatformExplorerUtils::kMenuTextStringId));
    PlatformExplorerUtils::RegisterProtocolHandler();
    Log::Stream() << kSource << L"registering handlers success";
  }
}

}  // namespace

void LaunchPlatform(HINSTANCE instance) {
  ComInitializer com(COINIT_APARTMENTTHREADED);
  if (!QVSettings::isMenuEnabled()) {
    StartEngineAfterDelay();
    return;
  }
  if (!TaskbarHostsDeskbands()) {
    // The engine is what remains of the platform there; nothing is worth waiting for.
    Log::Stream() << kSource << L"the Windows 11 taskbar hosts no deskbands; starting the engine";
    StartEngine();
    return;
  }
  LaunchThroughDeskband(instance);
}
