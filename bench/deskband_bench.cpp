// QVNSIS_IsDeskbandRegistered with no build registered: every call searches again and logs
// "NOT FOUND". Baselines: the registry probes the search makes (the class key and five subkeys),
// alone and followed by one QVNSIS_Log line.
#include <windows.h>

#include "families.h"
#include "support/fake_deskband.h"
#include "support/library.h"

namespace qvbench {

std::vector<Row> IsDeskbandRegisteredRows(const std::wstring&) {
  std::vector<std::wstring> builds;
  for (int number = 0; number < 5; ++number) builds.push_back(qvtest::DeskbandClsidText(number));

  const qvtest::Library library;
  const auto isRegistered = QV_EXPORT(library, QVNSIS_IsDeskbandRegistered);
  const auto log = QV_EXPORT(library, QVNSIS_Log);
  if (!isRegistered || !log) Abort("cannot load QVNSIS_IsDeskbandRegistered");
  if (isRegistered() != 0) Abort("a deskband build is registered in this prefix");
  auto probes = [&] {
    HKEY classes = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID", 0, KEY_READ | KEY_WOW64_64KEY,
                      &classes) != ERROR_SUCCESS) {
      return;
    }
    for (const std::wstring& build : builds) {
      HKEY subkey = nullptr;
      if (RegOpenKeyExW(classes, build.c_str(), 0, KEY_READ | KEY_WRITE, &subkey) ==
          ERROR_SUCCESS) {
        RegCloseKey(subkey);
      }
    }
    RegCloseKey(classes);
  };
  auto probesAndLine = [&] {
    probes();
    log(L"QVDeskbandUtil::LoadInstalledCLSID: NOT FOUND");
  };
  auto ours = [&] { isRegistered(); };

  const std::vector<double> t = CompareMedians({probes, ours, probesAndLine}, 500, 5, 200);
  return {{"IsDeskbandRegistered (none) vs probes+log", t[1], t[2], 1.3},
          {"IsDeskbandRegistered (none) vs reg probes", t[1], t[0], 0}};
}

}  // namespace qvbench
