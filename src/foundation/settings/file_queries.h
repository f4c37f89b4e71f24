#pragma once

#include <windows.h>

#include <string>

// Questions about files and directories on disk.
namespace QVPaths {

// True when the path's attributes can be read and are not a directory's; false for "".
bool fileExists(const std::wstring& path);

// True when the path's attributes can be read and are a directory's.
bool directoryExists(const std::wstring& path);

// The creation date of a file or directory in local time, "2013-05-07" (the year as a plain
// number, month and day with two digits); empty when it cannot be opened for reading or its
// times cannot be read.
std::wstring getFileCreationDate(const std::wstring& path);

namespace detail {

// The local calendar date of a file time (UTC) in the form of getFileCreationDate; empty when
// it cannot be converted.
std::wstring localDateText(const FILETIME& utc);

}  // namespace detail

}  // namespace QVPaths
