#include "exports/installer_windows/product_pages.h"

namespace QVPages {

std::wstring termsPageUrl() {
  const std::string url = std::string("https://") + kWebHost + "/r/?terms";
  return std::wstring(url.begin(), url.end());
}

std::string uninstallSurveyUrl(const std::string& clientId) {
  return std::string("http://") + kSupportHost +
         "/customer/portal/articles/812342-tovin-uninstall-feedback?i=" + clientId;
}

}  // namespace QVPages
