#include "foundation/owners/qv_file.h"

namespace {

struct ModeTraits {
  DWORD access;
  DWORD share;
  DWORD disposition;
  bool atEnd;
};

constexpr ModeTraits kModes[] = {
    {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, false},
    {GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, false},
    {GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS, false},
    {GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS, true},
    {GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS, true},
};

}  // namespace

QVFile::~QVFile() { close(); }

int QVFile::open(const std::wstring& path, int mode) {
  if (handle_) return kAlreadyOpen;
  if (mode < kModeRead || mode > kModeReadWriteAppend) return kBadMode;
  const ModeTraits& traits = kModes[mode];
  const HANDLE handle = CreateFileW(path.c_str(), traits.access, traits.share, nullptr,
                                    traits.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return kOpenFailed;
  handle_.reset(handle);
  if (traits.atEnd) seek(0, kFromEnd);
  return kOpened;
}

void QVFile::close() { handle_.reset(); }

uint32_t QVFile::read(void* buffer, uint32_t count) {
  if (!handle_) return 0;
  DWORD read = 0;
  if (!ReadFile(handle_.get(), buffer, count, &read, nullptr)) return 0;
  return read;
}

int64_t QVFile::seek(int64_t distance, int origin) {
  if (!handle_) return -1;
  DWORD method;
  switch (origin) {
    case kFromStart:
      method = FILE_BEGIN;
      break;
    case kFromCurrent:
      method = FILE_CURRENT;
      break;
    case kFromEnd:
      method = FILE_END;
      break;
    default:
      return -1;
  }
  LARGE_INTEGER move;
  move.QuadPart = distance;
  LARGE_INTEGER position;
  // A refused move leaves `position` unwritten: report the failure, not whatever it held.
  if (!SetFilePointerEx(handle_.get(), move, &position, method)) return -1;
  return position.QuadPart;
}

int64_t QVFile::size() const {
  if (!handle_) return -1;
  // Asked of the file system directly, so the position is never moved and cannot be lost.
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handle_.get(), &size)) return -1;
  return size.QuadPart;
}
