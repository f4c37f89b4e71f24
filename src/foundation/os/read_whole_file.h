#pragma once

#include <string>
#include <vector>

// Reads an existing file into `bytes`, sized to exactly the file's length, in one read. The file
// is opened for reading without sharing, so a file another process holds open fails. False when
// it cannot be opened, its size cannot be taken or does not fit one read (4 GiB and more), no
// buffer of that size can be had (2 GiB and more in a 32-bit process, or less when memory is
// short), the read fails, or fewer bytes arrive than the size said.
bool ReadWholeFile(const std::wstring& path, std::vector<char>* bytes);
