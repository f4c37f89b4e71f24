#include "foundation/settings/platform_paths.h"

#include "foundation/settings/qv_settings.h"

namespace QVPaths {
namespace {

struct Derivation {
  PathKind base;
  const wchar_t* suffix;  // null for the root, InstallDir
};

// Indexed by PathKind.
constexpr Derivation kPathTable[] = {
    {PathKind::InstallDir, nullptr},
    {PathKind::InstallDir, L"\\Engine"},
    {PathKind::EngineDir, L"\\tovin.exe"},
    {PathKind::InstallDir, L"\\Tovines"},
    {PathKind::EngineDir, L"\\sysapps"},
    {PathKind::AppsDir, L"\\installed_tovines.db"},
    {PathKind::InstallDir, L"\\engine_update.db"},
    {PathKind::InstallDir, L"\\analytics.db"},
    {PathKind::InstallDir, L"\\notifications.db"},
    {PathKind::InstallDir, L"\\IconCache"},
    {PathKind::IconCacheDir, L"\\persistent"},
    {PathKind::InstallDir, L"\\UserData"},
};
constexpr int kPathKindCount = static_cast<int>(sizeof(kPathTable) / sizeof(kPathTable[0]));
static_assert(kPathKindCount == static_cast<int>(PathKind::UserDataDir) + 1,
              "one table row per path kind");

}  // namespace

std::wstring getPath(PathKind kind, Expansion expansion) {
  const int index = static_cast<int>(kind);
  if (index < 0 || index >= kPathKindCount) return std::wstring();
  const Derivation& row = kPathTable[index];
  if (!row.suffix) return QVSettings::getString(QVSettings::kInstallDir, std::wstring(), expansion);
  const std::wstring base = getPath(row.base, expansion);
  if (base.empty()) return std::wstring();
  return base + row.suffix;
}

std::wstring getFilePath(PathKind folder, const std::wstring& name, Expansion expansion) {
  const std::wstring base = getPath(folder, expansion);
  return base.empty() ? std::wstring() : base + L"\\" + name;
}

}  // namespace QVPaths

namespace QVPaths {

HWND findEngineWindow() { return FindWindowW(kEngineWindowClass, nullptr); }

}  // namespace QVPaths
