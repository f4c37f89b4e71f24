#pragma once

#include <string>

// Opens an http or https URL in the user's default browser, without waiting; true when a browser
// (or the shell, for it) was started.
//
// On Vista and later the browser the user chose for the URL's scheme (UserChoice ProgId under
// HKCU) is started with its registered open command, "%1" replaced by the URL and the whole made
// one argument by QVPaths::quoteArgument; on XP, and whenever that registration is missing or
// its command does not start, the shell opens the URL ("open" verb). A URL of fewer than 8
// characters or of another scheme (case ignored) is dropped. The narrow URL is widened byte for
// byte; spaces, control characters and double quotes in it are percent-encoded first, so that
// the URL stays one argument of the browser's command line.
bool OpenUrlInDefaultBrowser(const std::string& url);
