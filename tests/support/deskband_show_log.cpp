#include "support/deskband_show_log.h"

namespace qvtest {

std::vector<std::wstring> ShowLogAfterTheFirstAttempt(std::vector<std::wstring> lines) {
  for (int attempt = 2; attempt <= 5; ++attempt) {
    lines.push_back(L"attempt " + std::to_wstring(attempt));
    for (int detect = 0; detect < 10; ++detect) {
      lines.push_back(L"detect = " + std::to_wstring(detect));
      lines.push_back(L"detect sleep");
    }
    lines.push_back(L"could not detect deskband");
  }
  lines.push_back(L"failed");
  return lines;
}

}  // namespace qvtest
