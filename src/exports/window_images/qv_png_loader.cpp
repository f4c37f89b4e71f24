#include "exports/window_images/qv_png_loader.h"

#include <png.h>

#include <new>

#include "exports/window_images/image_size.h"
#include "exports/window_images/qv_image_stream.h"

// libpng reports errors by longjmp. The functions that set the jump point below hold only plain
// locals, so a jump skips no destructor; everything owned lives in their callers.

namespace {

constexpr size_t kSignatureSize = 8;

void ErrorFn(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void WarningFn(png_structp, png_const_charp) {}

void ReadFn(png_structp png, png_bytep data, png_size_t length) {
  auto* stream = static_cast<QVImageStream*>(png_get_io_ptr(png));
  size_t got = 0;
  while (got < length) {
    const size_t n = stream->read(data + got, length - got);
    if (n == 0) png_error(png, "truncated");
    got += n;
  }
}

struct Header {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int sourceChannels = 0;
  int channels = 0;
  size_t rowBytes = 0;
};

// Reads the header and sets up the conversion to BGRA. False on any libpng error.
bool ReadHeader(png_structp png, png_infop info, Header* header) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_sig_bytes(png, kSignatureSize);
  png_read_info(png, info);

  const int colorType = png_get_color_type(png, info);
  const int bitDepth = png_get_bit_depth(png, info);
  header->width = png_get_image_width(png, info);
  header->height = png_get_image_height(png, info);

  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (transparency) png_set_tRNS_to_alpha(png);
  if (bitDepth == 16) png_set_strip_16(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  header->sourceChannels = (colorType & PNG_COLOR_MASK_ALPHA) || transparency ? 4 : 3;
  // RGB to BGR, and an opaque fourth byte where the image has no alpha of its own.
  png_set_bgr(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  header->channels = png_get_channels(png, info);
  header->rowBytes = png_get_rowbytes(png, info);
  return true;
}

bool ReadRows(png_structp png, png_infop info, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  png_read_end(png, info);
  return true;
}

class ReadStructs {
 public:
  ReadStructs() {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, ErrorFn, WarningFn);
    if (png_) info_ = png_create_info_struct(png_);
  }
  ~ReadStructs() {
    if (png_) png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
  }
  ReadStructs(const ReadStructs&) = delete;
  ReadStructs& operator=(const ReadStructs&) = delete;
  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

}  // namespace

QVPNGLoader::QVPNGLoader() = default;
QVPNGLoader::~QVPNGLoader() = default;

bool QVPNGLoader::load(QVImageStream* stream) {
  pixels_.reset();
  width_ = height_ = channels_ = 0;

  png_byte signature[kSignatureSize];
  if (stream->read(signature, kSignatureSize) != kSignatureSize ||
      png_sig_cmp(signature, 0, kSignatureSize) != 0) {
    return false;
  }
  ReadStructs structs;
  if (!structs.png() || !structs.info()) return false;
  png_set_read_fn(structs.png(), stream, ReadFn);

  Header header;
  if (!ReadHeader(structs.png(), structs.info(), &header)) return false;
  size_t bytes = 0;
  if (!ImagePixelBytes(header.width, header.height, &bytes)) return false;
  // Any layout other than four bytes a pixel would have rows longer or shorter than ours.
  if (header.channels != 4 || header.rowBytes != static_cast<size_t>(header.width) * 4) return false;

  std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[bytes]);
  std::unique_ptr<png_bytep[]> rows(new (std::nothrow) png_bytep[header.height]);
  if (!pixels || !rows) return false;
  for (png_uint_32 y = 0; y < header.height; ++y) rows[y] = pixels.get() + header.rowBytes * y;
  if (!ReadRows(structs.png(), structs.info(), rows.get())) return false;

  pixels_ = std::move(pixels);
  width_ = static_cast<int>(header.width);
  height_ = static_cast<int>(header.height);
  channels_ = header.sourceChannels;
  return true;
}

bool QVPNGLoader::load(const void* bytes, size_t size) {
  QVImageStream stream;
  stream.openMemory(bytes, size);
  return load(&stream);
}

bool QVPNGLoader::load(const std::wstring& path) {
  QVImageStream stream;
  if (!stream.openFile(path)) return false;
  const bool loaded = load(&stream);
  stream.close();
  return loaded;
}
