#include "exports/window_images/qv_image_stream.h"

#include <algorithm>
#include <cstring>

bool QVImageStream::openFile(const std::wstring& path) {
  close();
  return file_.Open(path, QVFile::kModeRead) == QVFile::kOpened;
}

void QVImageStream::openMemory(const void* bytes, size_t size) {
  close();
  memory_ = static_cast<const uint8_t*>(bytes);
  size_ = bytes ? size : 0;
}

size_t QVImageStream::read(void* buffer, size_t count) {
  if (file_.IsOpen()) {
    // QVFile reads at most 4 GiB - 1 in one call; the decoders ask for a few kilobytes.
    const uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(count, 0xFFFFFFFFu));
    return file_.Read(buffer, chunk);
  }
  if (!memory_ || offset_ >= size_) return 0;
  const size_t n = std::min(count, size_ - offset_);
  std::memcpy(buffer, memory_ + offset_, n);
  offset_ += n;
  return n;
}

void QVImageStream::skip(size_t count) {
  if (file_.IsOpen()) {
    file_.Seek(static_cast<int64_t>(count), QVFile::kFromCurrent);
    return;
  }
  if (!memory_ || count >= size_ - std::min(offset_, size_)) return;
  offset_ += count;
}

void QVImageStream::close() {
  file_.Close();
  memory_ = nullptr;
  size_ = offset_ = 0;
}
