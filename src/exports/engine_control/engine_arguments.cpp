#include "exports/engine_control/engine_arguments.h"

std::wstring EngineStartArguments(int platformInstalled, const char* appName) {
  std::wstring arguments = platformInstalled ? kEngineSwitchPlatformInstalled : L"";
  if (appName) {
    arguments += L" /OPEN\"";
    for (const char* c = appName; *c; ++c)
      arguments += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    arguments += L'"';
  }
  return arguments;
}
