#include "support/image_files.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <stdexcept>

#include <jpeglib.h>

namespace qvtest {
namespace {

void AppendPng(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))
      ->append(reinterpret_cast<const char*>(data), length);
}
void FlushPng(png_structp) {}

void SetMetadata(png_structp png, png_infop info, const PngPicture& picture) {
  char key[] = "Comment", latin[] = "plain", compressed[] = "compressed",
       international[] = "international";
  png_text texts[3] = {};
  const int kinds[3] = {PNG_TEXT_COMPRESSION_NONE, PNG_TEXT_COMPRESSION_zTXt,
                        PNG_ITXT_COMPRESSION_NONE};
  char* words[3] = {latin, compressed, international};
  for (int i = 0; i < 3; ++i) {
    texts[i].compression = kinds[i];
    texts[i].key = key;
    texts[i].text = words[i];
  }
  png_set_text(png, info, texts, 3);
  png_set_gAMA(png, info, 1 / 2.2);
  png_set_cHRM(png, info, 0.3127, 0.329, 0.64, 0.33, 0.3, 0.6, 0.15, 0.06);
  png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
  png_set_pHYs(png, info, 3780, 3780, PNG_RESOLUTION_METER);
  png_time when = {};
  when.year = 2014;
  when.month = 5;
  when.day = 6;
  png_set_tIME(png, info, &when);
  png_color_16 background = {};
  png_set_bKGD(png, info, &background);
  png_color_8 bits = {};
  bits.red = bits.green = bits.blue = bits.gray =
      static_cast<png_byte>(std::min(picture.bitDepth, 8));
  if (picture.colorType & PNG_COLOR_MASK_ALPHA) bits.alpha = bits.red;
  png_set_sBIT(png, info, &bits);
  png_byte exif[] = {'M', 'M', 0, 42, 0, 0, 0, 8};
  png_set_eXIf_1(png, info, sizeof(exif), exif);
}

bool WritePng(png_structp png, png_infop info, const PngPicture& picture, std::string* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, AppendPng, FlushPng);
  png_set_IHDR(png, info, picture.width, picture.height, picture.bitDepth, picture.colorType,
               picture.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!picture.palette.empty()) {
    std::vector<png_color> colours(picture.palette.size() / 3);
    for (size_t i = 0; i < colours.size(); ++i) {
      colours[i] = {picture.palette[3 * i], picture.palette[3 * i + 1], picture.palette[3 * i + 2]};
    }
    png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
  }
  if (!picture.transparency.empty()) {
    png_set_tRNS(png, info, const_cast<png_bytep>(picture.transparency.data()),
                 static_cast<int>(picture.transparency.size()), nullptr);
  }
  if (!picture.transparentColour.empty()) {
    png_color_16 key = {};
    const auto& c = picture.transparentColour;
    if (c.size() == 1) {
      key.gray = c[0];
    } else {
      key.red = c.at(0);
      key.green = c.at(1);
      key.blue = c.at(2);
    }
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  if (picture.metadata) SetMetadata(png, info, picture);
  png_write_info(png, info);
  std::vector<png_bytep> rows;
  for (const auto& row : picture.rows)
    rows.push_back(reinterpret_cast<png_bytep>(const_cast<char*>(row.data())));
  png_write_image(png, rows.data());
  png_write_end(png, info);
  return true;
}

struct JpegError {
  jpeg_error_mgr pub;
  jmp_buf jump;
};
void JpegErrorExit(j_common_ptr cinfo) {
  longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

}  // namespace

std::string EncodePng(const PngPicture& picture) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::string out;
  const bool written = WritePng(png, info, picture, &out);
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
      for (int c = 0; c < components; ++c)
        row[static_cast<size_t>(x) * components + c] = static_cast<JSAMPLE>(pixelAt(x, y, c));
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
  PngPicture picture;
  picture.width = width;
  picture.height = height;
  picture.colorType = PNG_COLOR_TYPE_RGB;
  std::string row;
  for (int x = 0; x < width; ++x) {
    const uint32_t c = x < width / 2 ? left : right;
    row += static_cast<char>(c >> 16);
    row += static_cast<char>(c >> 8);
    row += static_cast<char>(c);
  }
  picture.rows.assign(height, row);
  return EncodePng(picture);
}

}  // namespace qvtest
