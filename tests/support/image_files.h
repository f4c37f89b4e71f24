#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Test pictures written with libpng and libjpeg, as the bytes of a file.
namespace qvtest {

struct PngPicture {
  int width = 0;
  int height = 0;
  int colorType = 0;  // PNG_COLOR_TYPE_*
  int bitDepth = 8;
  bool interlaced = false;
  // Rows top-down, packed as libpng expects for the colour type and depth.
  std::vector<std::string> rows;
  // Palette images: RGB triples, and optional alpha per palette entry (a tRNS chunk).
  std::vector<uint8_t> palette;
  std::vector<uint8_t> transparency;
  // Grey or RGB images: the one colour that stands for transparent (a tRNS chunk), as {grey} or
  // {red, green, blue} in the image's bit depth.
  std::vector<uint16_t> transparentColour;
  // The metadata chunks a file may carry (text in its three forms, gamma, chromaticities, sRGB,
  // resolution, time, background, significant bits, Exif), none of which changes the pixels.
  bool metadata = false;
};
std::string EncodePng(const PngPicture& picture);

// components 3 (RGB in), 1 (grey) or 4 (CMYK); `pixelAt(x, y, c)` gives sample c of a pixel.
std::string EncodeJpeg(int width, int height, int components, int (*pixelAt)(int x, int y, int c),
                       bool progressive = false, int quality = 95);

// A width x height RGB PNG whose left half is `left` and right half `right` (0xRRGGBB).
std::string TwoColourPng(int width, int height, uint32_t left, uint32_t right);

}  // namespace qvtest
