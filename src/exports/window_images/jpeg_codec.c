/* JPEG decoding through libjpeg. See image_codec.h: no C++ here, so a longjmp skips nothing.
   libjpeg's default error exit ends the process; ours jumps back to the step that failed. */
#include "exports/window_images/image_codec.h"

#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>

#include <jpeglib.h>

typedef struct JpegDecoder {
  struct jpeg_decompress_struct cinfo;
  struct jpeg_error_mgr error;
  jmp_buf jump;
  struct jpeg_source_mgr source;
  const JOCTET* bytes;
  size_t size;
  /* The bytes ran out and an end-of-image marker was supplied in their place. */
  int ran_dry;
  int created;
} JpegDecoder;

static const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

static JpegDecoder* Of(j_common_ptr cinfo) {
  /* cinfo is the decoder's first member. */
  return (JpegDecoder*)cinfo;
}

static void ErrorExit(j_common_ptr cinfo) { longjmp(Of(cinfo)->jump, 1); }
static void OutputMessage(j_common_ptr cinfo) { (void)cinfo; }

static void InitSource(j_decompress_ptr cinfo) {
  JpegDecoder* decoder = Of((j_common_ptr)cinfo);
  decoder->source.next_input_byte = decoder->bytes;
  decoder->source.bytes_in_buffer = decoder->size;
}

static void TermSource(j_decompress_ptr cinfo) { (void)cinfo; }

static boolean FillInputBuffer(j_decompress_ptr cinfo) {
  /* Everything was in the buffer: an end-of-image marker lets the decoder finish rather than
     wait for bytes that never come. */
  JpegDecoder* decoder = Of((j_common_ptr)cinfo);
  decoder->source.next_input_byte = kEndOfImage;
  decoder->source.bytes_in_buffer = sizeof(kEndOfImage);
  decoder->ran_dry = 1;
  return TRUE;
}

static void SkipInputData(j_decompress_ptr cinfo, long count) {
  struct jpeg_source_mgr* source = cinfo->src;
  if (count <= 0) return;
  if ((unsigned long)count > source->bytes_in_buffer) {
    /* Past the end: the next fill supplies the end marker. */
    source->next_input_byte += source->bytes_in_buffer;
    source->bytes_in_buffer = 0;
    return;
  }
  source->next_input_byte += count;
  source->bytes_in_buffer -= (size_t)count;
}

static void Close(void* opaque) {
  JpegDecoder* decoder = (JpegDecoder*)opaque;
  if (!decoder) return;
  if (decoder->created) jpeg_destroy_decompress(&decoder->cinfo);
  free(decoder);
}

/* jpeg_create_decompress itself may fail (out of memory) and jump. */
static int Create(JpegDecoder* decoder) {
  if (setjmp(decoder->jump)) return 0;
  jpeg_create_decompress(&decoder->cinfo);
  decoder->created = 1;
  return 1;
}

static void* Open(const void* bytes, size_t size, uint64_t max_pixel_bytes) {
  if (!bytes || size == 0) return NULL;
  JpegDecoder* decoder = (JpegDecoder*)calloc(1, sizeof(JpegDecoder));
  if (!decoder) return NULL;
  decoder->cinfo.err = jpeg_std_error(&decoder->error);
  decoder->error.error_exit = ErrorExit;
  decoder->error.output_message = OutputMessage;
  if (!Create(decoder)) {
    Close(decoder);
    return NULL;
  }
  /* Beyond this, libjpeg refuses to buffer (progressive images keep every coefficient). */
  decoder->cinfo.mem->max_memory_to_use = (long)max_pixel_bytes;
  decoder->bytes = (const JOCTET*)bytes;
  decoder->size = size;
  decoder->source.init_source = InitSource;
  decoder->source.fill_input_buffer = FillInputBuffer;
  decoder->source.skip_input_data = SkipInputData;
  decoder->source.resync_to_restart = jpeg_resync_to_restart;
  decoder->source.term_source = TermSource;
  decoder->cinfo.src = &decoder->source;
  return decoder;
}

/* Reads the header and asks for RGB out: colour (YCbCr or RGB) or grey only. */
static int ReadHeader(void* opaque, uint32_t* width, uint32_t* height) {
  JpegDecoder* decoder = (JpegDecoder*)opaque;
  j_decompress_ptr cinfo = &decoder->cinfo;
  if (setjmp(decoder->jump)) return 0;
  if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return 0;
  const int colour = cinfo->num_components == 3 &&
                     (cinfo->jpeg_color_space == JCS_YCbCr || cinfo->jpeg_color_space == JCS_RGB);
  const int grey = cinfo->num_components == 1 && cinfo->jpeg_color_space == JCS_GRAYSCALE;
  if (!colour && !grey) return 0;
  cinfo->out_color_space = JCS_RGB;
  *width = cinfo->image_width;
  *height = cinfo->image_height;
  return 1;
}

static int ReadPixels(void* opaque, uint8_t* pixels) {
  JpegDecoder* decoder = (JpegDecoder*)opaque;
  j_decompress_ptr cinfo = &decoder->cinfo;
  if (setjmp(decoder->jump)) return 0;
  const JDIMENSION width = cinfo->image_width;
  const JDIMENSION height = cinfo->image_height;
  if (!jpeg_start_decompress(cinfo)) return 0;
  if (cinfo->output_components != 3 || cinfo->output_width != width ||
      cinfo->output_height != height)
    return 0;
  /* The scan-line buffer comes from libjpeg's own pool, released with the decompressor. */
  JSAMPARRAY line = (*cinfo->mem->alloc_sarray)((j_common_ptr)cinfo, JPOOL_IMAGE, width * 3, 1);
  while (cinfo->output_scanline < height) {
    uint8_t* out = pixels + (size_t)cinfo->output_scanline * width * 4;
    if (jpeg_read_scanlines(cinfo, line, 1) != 1) return 0;
    const JSAMPLE* in = line[0];
    for (JDIMENSION x = 0; x < width; ++x, in += 3, out += 4) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      out[3] = 255;
    }
  }
  /* The supplied end marker cut into the image data: libjpeg warned and filled the rest with
     grey. Only a file missing nothing but its final marker still counts as whole. */
  if (decoder->ran_dry && cinfo->err->num_warnings > 0) return 0;
  jpeg_finish_decompress(cinfo);
  return 1;
}

const QVImageCodec kQVJpegCodec = {Open, ReadHeader, ReadPixels, Close};
