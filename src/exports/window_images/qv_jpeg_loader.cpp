#include "exports/window_images/qv_jpeg_loader.h"

#include <csetjmp>
#include <cstdio>
#include <new>

#include <jpeglib.h>

#include "exports/window_images/image_size.h"
#include "exports/window_images/qv_image_stream.h"

// libjpeg's default error exit ends the process; ours jumps back to the decode step that failed.
// The functions that set the jump point hold only plain locals, so a jump skips no destructor.

namespace {

constexpr size_t kInputBufferSize = 4096;

struct ErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) { longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }
void OutputMessage(j_common_ptr) {}

// Each decode has its own source, so decodes on different threads cannot mix their input.
struct StreamSource {
  jpeg_source_mgr pub;
  QVImageStream* stream;
  JOCTET buffer[kInputBufferSize];
  // The stream ran out and an end-of-image marker was supplied in its place.
  bool ranDry;
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* source = reinterpret_cast<StreamSource*>(cinfo->src);
  size_t n = source->stream->read(source->buffer, kInputBufferSize);
  if (n == 0) {
    // An end-of-image marker lets the decoder finish rather than wait for bytes that never come.
    source->buffer[0] = 0xFF;
    source->buffer[1] = JPEG_EOI;
    n = 2;
    source->ranDry = true;
  }
  source->pub.next_input_byte = source->buffer;
  source->pub.bytes_in_buffer = n;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  auto* source = reinterpret_cast<StreamSource*>(cinfo->src);
  const size_t wanted = static_cast<size_t>(count);
  if (wanted <= source->pub.bytes_in_buffer) {
    source->pub.next_input_byte += wanted;
    source->pub.bytes_in_buffer -= wanted;
    return;
  }
  const size_t rest = wanted - source->pub.bytes_in_buffer;
  source->pub.bytes_in_buffer = 0;
  source->stream->skip(rest);
}

// Reads the header and asks for RGB out. False on a libjpeg error or a layout other than colour
// (YCbCr or RGB) or grey.
bool ReadHeader(j_decompress_ptr cinfo, ErrorManager* error) {
  if (setjmp(error->jump)) return false;
  if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return false;
  const bool colour = cinfo->num_components == 3 &&
                      (cinfo->jpeg_color_space == JCS_YCbCr || cinfo->jpeg_color_space == JCS_RGB);
  const bool grey = cinfo->num_components == 1 && cinfo->jpeg_color_space == JCS_GRAYSCALE;
  if (!colour && !grey) return false;
  cinfo->out_color_space = JCS_RGB;
  return true;
}

// Decodes every scan line into `pixels` as BGRA. False on a libjpeg error, an output other than
// three components of the header's size, or data that ended before the image did.
bool ReadPixels(j_decompress_ptr cinfo, ErrorManager* error, StreamSource* source, uint8_t* pixels) {
  if (setjmp(error->jump)) return false;
  const JDIMENSION width = cinfo->image_width;
  const JDIMENSION height = cinfo->image_height;
  if (!jpeg_start_decompress(cinfo)) return false;
  if (cinfo->output_components != 3 || cinfo->output_width != width || cinfo->output_height != height) {
    return false;
  }
  // The scan-line buffer comes from libjpeg's own pool, released with the decompressor.
  JSAMPARRAY line = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                width * 3, 1);
  while (cinfo->output_scanline < height) {
    uint8_t* out = pixels + static_cast<size_t>(cinfo->output_scanline) * width * 4;
    if (jpeg_read_scanlines(cinfo, line, 1) != 1) return false;
    const JSAMPLE* in = line[0];
    for (JDIMENSION x = 0; x < width; ++x, in += 3, out += 4) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      out[3] = 255;
    }
  }
  // The supplied end marker cut into the image data: libjpeg warned and filled the rest with
  // grey. Only a file missing nothing but its final marker still counts as whole.
  if (source->ranDry && cinfo->err->num_warnings > 0) return false;
  jpeg_finish_decompress(cinfo);
  return true;
}

class Decompressor {
 public:
  explicit Decompressor(ErrorManager* error) {
    cinfo_.err = jpeg_std_error(&error->pub);
    error->pub.error_exit = ErrorExit;
    error->pub.output_message = OutputMessage;
  }
  // jpeg_create_decompress itself may fail (out of memory) and jump.
  bool create(ErrorManager* error) {
    if (setjmp(error->jump)) return false;
    jpeg_create_decompress(&cinfo_);
    created_ = true;
    // Beyond this, libjpeg refuses to buffer (progressive images keep every coefficient).
    cinfo_.mem->max_memory_to_use = static_cast<long>(kMaxImagePixelBytes);
    return true;
  }
  ~Decompressor() {
    if (created_) jpeg_destroy_decompress(&cinfo_);
  }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;
  j_decompress_ptr get() { return &cinfo_; }

 private:
  jpeg_decompress_struct cinfo_ = {};
  bool created_ = false;
};

}  // namespace

QVJPEGLoader::QVJPEGLoader() = default;
QVJPEGLoader::~QVJPEGLoader() = default;

bool QVJPEGLoader::load(QVImageStream* stream) {
  pixels_.reset();
  width_ = height_ = 0;

  ErrorManager error = {};
  Decompressor decompressor(&error);
  if (!decompressor.create(&error)) return false;
  j_decompress_ptr cinfo = decompressor.get();

  std::unique_ptr<StreamSource> source(new (std::nothrow) StreamSource());
  if (!source) return false;
  source->pub.init_source = InitSource;
  source->pub.fill_input_buffer = FillInputBuffer;
  source->pub.skip_input_data = SkipInputData;
  source->pub.resync_to_restart = jpeg_resync_to_restart;
  source->pub.term_source = TermSource;
  source->stream = stream;
  cinfo->src = &source->pub;

  if (!ReadHeader(cinfo, &error)) return false;
  size_t bytes = 0;
  if (!ImagePixelBytes(cinfo->image_width, cinfo->image_height, &bytes)) return false;
  std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[bytes]);
  if (!pixels) return false;
  if (!ReadPixels(cinfo, &error, source.get(), pixels.get())) return false;

  pixels_ = std::move(pixels);
  width_ = static_cast<int>(cinfo->image_width);
  height_ = static_cast<int>(cinfo->image_height);
  return true;
}

bool QVJPEGLoader::load(const void* bytes, size_t size) {
  QVImageStream stream;
  stream.openMemory(bytes, size);
  return load(&stream);
}

bool QVJPEGLoader::load(const std::wstring& path) {
  QVImageStream stream;
  if (!stream.openFile(path)) return false;
  const bool loaded = load(&stream);
  stream.close();
  return loaded;
}
