#pragma once

#include <string>
#include <vector>

#include "measure.h"

// The benchmark families, one file each; every one takes the scratch folder (with a trailing
// backslash, also the folder TMP points at, so the day logs land there) and returns its rows.
namespace qvbench {

// installer_size_bench.cpp: the sizes bench/installer_sizes.sh measured with makensis for one
// build of the DLL: the file, a solid-LZMA installer without it, and the same installer with it.
struct InstallerSizes {
  std::string target;
  double dll;
  double emptyInstaller;
  double withDll;
};
// Arguments of the form <target>=<dll bytes>,<empty installer bytes>,<installer with DLL bytes>.
std::vector<InstallerSizes> ParseInstallerSizes(int argc, char** argv);
std::vector<Row> SizeRows(const std::vector<InstallerSizes>& sizes);

std::vector<Row> LoadUnloadRows(const std::wstring& scratch);            // load_bench.cpp
std::vector<Row> LogLineRows(const std::wstring& scratch);               // log_bench.cpp
std::vector<Row> PinAppStoreRows(const std::wstring& scratch);           // pin_bench.cpp
std::vector<Row> WindowImageRows(const std::wstring& scratch);           // window_image_bench.cpp
std::vector<Row> FavoritesRows(const std::wstring& scratch);             // favorites_bench.cpp
std::vector<Row> StopTovinRows(const std::wstring& scratch);             // stop_bench.cpp
std::vector<Row> IsDeskbandRegisteredRows(const std::wstring& scratch);  // deskband_bench.cpp
std::vector<Row> WorstCaseRows(const std::wstring& scratch);             // worst_case_bench.cpp

}  // namespace qvbench
