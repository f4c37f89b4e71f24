#include "exports/engine_control/engine_executable.h"

#include "foundation/settings/qv_paths.h"

std::wstring FindEngineExecutable() {
  const std::wstring engine = QVPaths::getPath(PathKind::EngineExe, Expansion::kExpanded);
  if (QVPaths::fileExists(engine)) return engine;

  // Older layouts keep the engine directly in the installation directory.
  const std::wstring direct =
      QVPaths::getFilePath(PathKind::InstallDir, L"tovin.exe", Expansion::kExpanded);
  if (QVPaths::fileExists(direct)) return direct;
  return std::wstring();
}
