#pragma once

#include <string>

// The product's web pages the installer opens. The hosts are named here and nowhere else.
namespace QVPages {

inline constexpr char kWebHost[] = "www.tovin.com";
inline constexpr char kSupportHost[] = "support.tovin.com";

// "https://<web host>/r/?terms"
std::wstring termsPageUrl();

// "http://<support host>/customer/portal/articles/812342-tovin-uninstall-feedback?i=<clientId>"
std::string uninstallSurveyUrl(const std::string& clientId);

}  // namespace QVPages
