#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "foundation/owners/scoped_handle.h"

// A file opened in one of five fixed modes, closed on every way out.
//
//   mode 0  read,           shares read and write, existing files only
//   mode 1  write,          shares read,           truncates or creates
//   mode 2  read and write, not shared,            truncates or creates
//   mode 3  write,          shares read,           opens or creates, positioned at the end
//   mode 4  read and write, not shared,            opens or creates, positioned at the end
class QVFile {
 public:
  enum Mode : int {
    kModeRead = 0,
    kModeWriteTruncate = 1,
    kModeReadWriteTruncate = 2,
    kModeWriteAppend = 3,
    kModeReadWriteAppend = 4,
  };

  // Results of open.
  enum Result : int {
    kOpened = 0,
    kBadMode = 1,
    kOpenFailed = 4,
    kAlreadyOpen = 5,
  };

  // Origins of seek.
  enum Origin : int {
    kFromStart = 0,
    kFromCurrent = 1,
    kFromEnd = 2,
  };

  QVFile() = default;
  virtual ~QVFile();
  QVFile(const QVFile&) = delete;
  QVFile& operator=(const QVFile&) = delete;

  // One of Result. A file already held is kept and the path is not looked at.
  int open(const std::wstring& path, int mode);
  // Releases the handle; closing a closed file does nothing.
  void close();
  bool isOpen() const { return static_cast<bool>(handle_); }

  // Bytes read into `buffer`; 0 when closed or when the read fails.
  uint32_t read(void* buffer, uint32_t count);
  // The new position from the start; -1 when closed, for an origin other than 0, 1 or 2, or when
  // the system refuses the move (before the start, for one).
  int64_t seek(int64_t distance, int origin);
  // The length in bytes; the position is left where it was. -1 when closed or unknown.
  int64_t size() const;

 private:
  ScopedFileHandle handle_;
};
