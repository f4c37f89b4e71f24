#include "support/image_files.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <stdexcept>

#include <jpeglib.h>

namespace qvtest {
namespace {

void AppendPng(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
void FlushPng(png_structp) {}

bool WritePng(png_structp png, png_infop info, const PngSpec& spec, std::string* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, AppendPng, FlushPng);
  png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colorType,
               spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!spec.palette.empty()) {
    std::vector<png_color> colours(spec.palette.size() / 3);
    for (size_t i = 0; i < colours.size(); ++i) {
      colours[i] = {spec.palette[3 * i], spec.palette[3 * i + 1], spec.palette[3 * i + 2]};
    }
    png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
  }
  if (!spec.transparency.empty()) {
    png_set_tRNS(png, info, const_cast<png_bytep>(spec.transparency.data()),
                 static_cast<int>(spec.transparency.size()), nullptr);
  }
  png_write_info(png, info);
  std::vector<png_bytep> rows;
  for (const auto& row : spec.rows) rows.push_back(reinterpret_cast<png_bytep>(const_cast<char*>(row.data())));
  png_write_image(png, rows.data());
  png_write_end(png, info);
  return true;
}

struct JpegError {
  jpeg_error_mgr pub;
  jmp_buf jump;
};
void JpegErrorExit(j_common_ptr cinfo) { longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }

}  // namespace

std::string EncodePng(const PngSpec& spec) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::string out;
  const bool written = WritePng(png, info, spec, &out);
  png_destroy_write_struct(&png, &info);
  if (!written) throw std::runtime_error("png encoding failed");
  return out;
}

std::string EncodeJpeg(int width, int height, int components, int (*pixelAt)(int, int, int),
                       bool progressive, int quality) {
  jpeg_compress_struct cinfo = {};
  JpegError error = {};
  cinfo.err = jpeg_std_error(&error.pub);
  error.pub.error_exit = JpegErrorExit;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  std::vector<JSAMPLE> row(static_cast<size_t>(width) * components);
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&cinfo);
    free(buffer);
    throw std::runtime_error("jpeg encoding failed");
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = components;
  cinfo.in_color_space = components == 3 ? JCS_RGB : components == 1 ? JCS_GRAYSCALE : JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < components; ++c) row[static_cast<size_t>(x) * components + c] = static_cast<JSAMPLE>(pixelAt(x, y, c));
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::string out(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&cinfo);
  free(buffer);
  return out;
}

std::string TwoColourPng(int width, int height, uint32_t left, uint32_t right) {
  PngSpec spec;
  spec.width = width;
  spec.height = height;
  spec.colorType = PNG_COLOR_TYPE_RGB;
  std::string row;
  for (int x = 0; x < width; ++x) {
    const uint32_t c = x < width / 2 ? left : right;
    row += static_cast<char>(c >> 16);
    row += static_cast<char>(c >> 8);
    row += static_cast<char>(c);
  }
  spec.rows.assign(height, row);
  return EncodePng(spec);
}

}  // namespace qvtest
