#include "shell/engine_executable.h"

#include "foundation/qv_paths.h"

std::wstring FindEngineExecutable() {
  const std::wstring engine = QVPaths::getPath(PathKind::EngineExe, false);
  if (QVPaths::fileExists(engine)) return engine;

  // Without an installation directory the fallback would be "\tovin.exe", the root of the
  // current drive: a program there is not the platform's and must not be started.
  const std::wstring installDir = QVPaths::getPath(PathKind::InstallDir, false);
  if (installDir.empty()) return std::wstring();
  const std::wstring direct = installDir + L"\\tovin.exe";
  if (QVPaths::fileExists(direct)) return direct;
  return std::wstring();
}
