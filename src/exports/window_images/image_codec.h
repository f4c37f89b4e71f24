#ifndef QVNSIS_EXPORTS_WINDOW_IMAGES_IMAGE_CODEC_H_
#define QVNSIS_EXPORTS_WINDOW_IMAGES_IMAGE_CODEC_H_

/* The decoders' calls into libpng and libjpeg. Both libraries report errors by longjmp, which
   skips C++ destructors; so every function that sets a jump point lives in a C file (png_codec.c,
   jpeg_codec.c), where no object with a destructor can exist. The C++ side (image_decode.cpp)
   owns the decoder and the pixel buffer.

   Both codecs have the same four steps on a block of bytes the caller keeps alive:
     open        null when the bytes cannot be this format, or memory runs out;
     read_header the size of the picture; 0 for a header this decoder does not turn into BGRA;
     read_pixels 32-bit BGRA, top-down rows of width x 4 bytes, straight alpha, into `pixels`
                 (width x height x 4 bytes); 0 on any error or data that ends too soon;
     close       frees the decoder (null is allowed). */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct QVImageCodec {
  void* (*open)(const void* bytes, size_t size, uint64_t max_pixel_bytes);
  int (*read_header)(void* decoder, uint32_t* width, uint32_t* height);
  int (*read_pixels)(void* decoder, uint8_t* pixels);
  void (*close)(void* decoder);
} QVImageCodec;

/* PNG: every layout arrives as BGRA; images without alpha get 255, palette transparency becomes
   alpha, 16-bit samples are cut to 8 bits, grey becomes RGB. */
extern const QVImageCodec kQVPngCodec;
/* JPEG: colour and greyscale images, opaque; CMYK and other layouts are refused. A file that
   ends before its image data does fails; one missing only its final marker is whole. */
extern const QVImageCodec kQVJpegCodec;

#ifdef __cplusplus
}
#endif

#endif
