/* PNG decoding through libpng. See image_codec.h: no C++ here, so a longjmp skips nothing. */
#include "exports/window_images/image_codec.h"

#include <png.h>
#include <stdlib.h>
#include <string.h>

enum { kSignatureSize = 8 };

typedef struct PngDecoder {
  png_structp png;
  png_infop info;
  const png_byte* bytes;
  size_t size;
  size_t offset;
  png_uint_32 width;
  png_uint_32 height;
  png_bytepp rows; /* freed with the decoder, so a jump out of a read cannot leak it */
} PngDecoder;

static void ErrorFn(png_structp png, png_const_charp message) {
  (void)message;
  png_longjmp(png, 1);
}

static void WarningFn(png_structp png, png_const_charp message) {
  (void)png;
  (void)message;
}

static void ReadFn(png_structp png, png_bytep data, png_size_t length) {
  PngDecoder* decoder = (PngDecoder*)png_get_io_ptr(png);
  if (length > decoder->size - decoder->offset) png_error(png, "truncated");
  memcpy(data, decoder->bytes + decoder->offset, length);
  decoder->offset += length;
}

static void Close(void* opaque) {
  PngDecoder* decoder = (PngDecoder*)opaque;
  if (!decoder) return;
  if (decoder->png)
    png_destroy_read_struct(&decoder->png, decoder->info ? &decoder->info : NULL, NULL);
  free(decoder->rows);
  free(decoder);
}

static void* Open(const void* bytes, size_t size, uint64_t max_pixel_bytes) {
  (void)max_pixel_bytes; /* the caller checks the header's size before any pixel is read */
  if (!bytes || size < kSignatureSize ||
      png_sig_cmp((png_const_bytep)bytes, 0, kSignatureSize) != 0)
    return NULL;
  PngDecoder* decoder = (PngDecoder*)calloc(1, sizeof(PngDecoder));
  if (!decoder) return NULL;
  decoder->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, ErrorFn, WarningFn);
  if (decoder->png) decoder->info = png_create_info_struct(decoder->png);
  if (!decoder->png || !decoder->info) {
    Close(decoder);
    return NULL;
  }
  decoder->bytes = (const png_byte*)bytes;
  decoder->size = size;
  decoder->offset = kSignatureSize;
  png_set_read_fn(decoder->png, decoder, ReadFn);
  return decoder;
}

/* Reads the header and sets up the conversion to BGRA. */
static int ReadHeader(void* opaque, uint32_t* width, uint32_t* height) {
  PngDecoder* decoder = (PngDecoder*)opaque;
  png_structp png = decoder->png;
  png_infop info = decoder->info;
  if (setjmp(png_jmpbuf(png))) return 0;
  png_set_sig_bytes(png, kSignatureSize);
  png_read_info(png, info);

  const int color_type = png_get_color_type(png, info);
  const int bit_depth = png_get_bit_depth(png, info);
  if (color_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (color_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (bit_depth == 16) png_set_strip_16(png);
  if (color_type == PNG_COLOR_TYPE_GRAY || color_type == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(png);
  /* RGB to BGR, and an opaque fourth byte where the image has no alpha of its own. */
  png_set_bgr(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  decoder->width = png_get_image_width(png, info);
  decoder->height = png_get_image_height(png, info);
  /* Any layout other than four bytes a pixel would have rows longer or shorter than ours. */
  if (png_get_channels(png, info) != 4 || png_get_rowbytes(png, info) != (size_t)decoder->width * 4)
    return 0;
  *width = decoder->width;
  *height = decoder->height;
  return 1;
}

static int ReadPixels(void* opaque, uint8_t* pixels) {
  PngDecoder* decoder = (PngDecoder*)opaque;
  decoder->rows = (png_bytepp)malloc(sizeof(png_bytep) * (decoder->height ? decoder->height : 1));
  if (!decoder->rows) return 0;
  for (png_uint_32 y = 0; y < decoder->height; ++y)
    decoder->rows[y] = pixels + (size_t)decoder->width * 4 * y;
  if (setjmp(png_jmpbuf(decoder->png))) return 0;
  png_read_image(decoder->png, decoder->rows);
  png_read_end(decoder->png, decoder->info);
  return 1;
}

const QVImageCodec kQVPngCodec = {Open, ReadHeader, ReadPixels, Close};
