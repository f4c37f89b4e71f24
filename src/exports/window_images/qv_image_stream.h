#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/owners/qv_file.h"

// Bytes for the image decoders, from a file opened on a path or from a block of memory the
// caller keeps alive while the stream is read.
class QVImageStream {
 public:
  QVImageStream() = default;
  QVImageStream(const QVImageStream&) = delete;
  QVImageStream& operator=(const QVImageStream&) = delete;

  // False when the file cannot be opened for reading.
  bool openFile(const std::wstring& path);
  void openMemory(const void* bytes, size_t size);

  // Up to `count` bytes into `buffer`; the number read, 0 at the end or on failure.
  size_t read(void* buffer, size_t count);
  // Moves `count` bytes on. In memory a skip that would reach or pass the end is ignored.
  void skip(size_t count);
  void close();

 private:
  QVFile file_;
  const uint8_t* memory_ = nullptr;
  size_t size_ = 0;
  size_t offset_ = 0;
};
