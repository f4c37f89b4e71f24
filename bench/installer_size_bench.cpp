// The DLL's weight in an installer: the sizes makensis measured (bench/installer_sizes.sh),
// passed in as arguments.
#include <windows.h>

#include <cstdio>

#include "families.h"

namespace qvbench {

std::vector<InstallerSizes> ParseInstallerSizes(int argc, char** argv) {
  std::vector<InstallerSizes> sizes;
  for (int i = 1; i < argc; ++i) {
    char target[32] = {};
    double dll = 0, empty = 0, with = 0;
    if (std::sscanf(argv[i], "%31[^=]=%lf,%lf,%lf", target, &dll, &empty, &with) != 4 || dll <= 0 ||
        empty <= 0 || with <= empty) {
      std::fprintf(stderr, "not a size word <target>=<dll>,<empty installer>,<with dll>: %s\n",
                   argv[i]);
      ExitProcess(2);
    }
    sizes.push_back({target, dll, empty, with});
  }
  return sizes;
}

std::vector<Row> SizeRows(const std::vector<InstallerSizes>& sizes) {
  std::vector<Row> rows;
  for (const InstallerSizes& s : sizes) {
    const std::string arch = s.target.substr(0, s.target.find('-'));
    rows.push_back({arch + " DLL file vs empty lzma installer", s.dll, s.emptyInstaller, 0, "B"});
    rows.push_back(
        {arch + " DLL in lzma installer vs DLL file", s.withDll - s.emptyInstaller, s.dll, 0, "B"});
  }
  return rows;
}

}  // namespace qvbench
