#pragma once

#include <string>

// Text operations on paths and command-line arguments; nothing here touches the file system.
namespace QVPaths {

// The file-name component of `path` without its directory and extension, as the system's path
// splitter (_wsplitpath) finds it: "C:\dir\name.ext" gives "name", "archive.tar.gz" gives
// "archive.tar", "C:\dir\" gives "".
std::wstring getFileStem(const std::wstring& path);

// `text` as one command-line argument: empty stays empty, a text whose first and last characters
// are both a double quote (one lone quote included) stays as it is, anything else is wrapped in
// one double quote on each side. Inner quotes are not escaped.
std::wstring quoteArgument(const std::wstring& text);

}  // namespace QVPaths
