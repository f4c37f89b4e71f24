#include <gtest/gtest.h>

#include <windows.h>

#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "exports/window_images/image_decode.h"
#include "exports/window_images/qv_image.h"
#include "foundation/owners/scoped_gdi_object.h"
#include "support/image_files.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace {

using Pixels = std::vector<uint32_t>;  // 0xAARRGGBB, read from BGRA bytes

Pixels PixelsOf(const uint8_t* bgra, int width, int height) {
  Pixels out;
  for (int i = 0; i < width * height; ++i) {
    const uint8_t* p = bgra + 4 * i;
    out.push_back(static_cast<uint32_t>(p[3]) << 24 | p[2] << 16 | p[1] << 8 | p[0]);
  }
  return out;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

// Within `tolerance` on every channel.
bool Near(uint32_t a, uint32_t b, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > tolerance || d < -tolerance) return false;
  }
  return true;
}

std::shared_ptr<QVImage> FromMemory(const std::string& bytes) {
  auto image = std::make_shared<QVImage>();
  return image->loadFromMemory(bytes.data(), bytes.size()) ? image : nullptr;
}

int SplitRgb(int x, int, int c) {
  // Left half orange-red, right half teal: distinct in every channel.
  static const int left[3] = {230, 60, 20}, right[3] = {10, 140, 200};
  return x < 8 ? left[c] : right[c];
}
int GreyRamp(int x, int y, int) { return (x < 8 ? 40 : 200) + (y < 8 ? 0 : 10); }
int CmykInk(int x, int, int c) { return c == 3 ? 0 : (x < 8 ? 255 : 0); }

}  // namespace

TEST(PngDecode, EveryLayoutArrivesAsStraightBgra) {
  using qvtest::PngPicture;
  struct Case {
    const char* name;
    PngPicture picture;
    Pixels expected;
  };
  auto picture = [](int w, int h, int type, int depth, std::vector<std::string> rows) {
    PngPicture s;
    s.width = w;
    s.height = h;
    s.colorType = type;
    s.bitDepth = depth;
    s.rows = std::move(rows);
    return s;
  };
  PngPicture palette = picture(2, 2, PNG_COLOR_TYPE_PALETTE, 8, {Bytes({0, 1}), Bytes({2, 3})});
  palette.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  palette.transparency = {0, 128, 255};  // the fourth entry has none: opaque
  PngPicture interlaced =
      picture(3, 3, PNG_COLOR_TYPE_RGB, 8,
              {Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9}), Bytes({10, 11, 12, 13, 14, 15, 16, 17, 18}),
               Bytes({19, 20, 21, 22, 23, 24, 25, 26, 27})});
  interlaced.interlaced = true;
  PngPicture greyKey = picture(2, 1, PNG_COLOR_TYPE_GRAY, 8, {Bytes({7, 9})});
  // Transparency by colour key: the pixels of exactly that colour, and only they.
  PngPicture keyedGrey = picture(3, 1, PNG_COLOR_TYPE_GRAY, 8, {Bytes({7, 9, 10})});
  keyedGrey.transparentColour = {9};
  PngPicture keyedRgb = picture(3, 1, PNG_COLOR_TYPE_RGB, 8, {Bytes({1, 2, 3, 1, 2, 4, 0, 2, 3})});
  keyedRgb.transparentColour = {1, 2, 3};
  PngPicture keyedRgb16 = picture(2, 1, PNG_COLOR_TYPE_RGB, 16,
                                  {Bytes({0xAB, 1, 0xCD, 2, 0xEF, 3, 0xAB, 1, 0xCD, 2, 0xEF, 4})});
  keyedRgb16.transparentColour = {0xAB01, 0xCD02, 0xEF03};
  // The decoder's libpng skips what only describes the picture: the same pixels.
  PngPicture described =
      picture(2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {Bytes({1, 2, 3, 4, 250, 251, 252, 0})});
  described.metadata = true;
  Case cases[] = {
      {"RGBA with every metadata chunk", described, {0x04010203, 0x00FAFBFC}},
      {"grey keyed", keyedGrey, {0xFF070707, 0x00090909, 0xFF0A0A0A}},
      {"RGB keyed", keyedRgb, {0x00010203, 0xFF010204, 0xFF000203}},
      {"16-bit RGB keyed (the key compares all 16 bits)", keyedRgb16, {0x00ABCDEF, 0xFFABCDEF}},
      {"palette with transparency", palette, {0x00FF0000, 0x8000FF00, 0xFF0000FF, 0xFFFFFFFF}},
      {"16-bit grey",
       picture(2, 2, PNG_COLOR_TYPE_GRAY, 16,
               {Bytes({0x12, 0x34, 0xFF, 0xFF}), Bytes({0, 0, 0x80, 0x80})}),
       {0xFF121212, 0xFFFFFFFF, 0xFF000000, 0xFF808080}},
      {"1-bit grey",
       picture(3, 1, PNG_COLOR_TYPE_GRAY, 1, {Bytes({0xA0})}),
       {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF}},
      {"grey with alpha",
       picture(1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {Bytes({0x40, 0x10})}),
       {0x10404040}},
      {"RGBA",
       picture(2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {Bytes({1, 2, 3, 4, 250, 251, 252, 0})}),
       {0x04010203, 0x00FAFBFC}},
      {"16-bit RGB",
       picture(1, 1, PNG_COLOR_TYPE_RGB, 16, {Bytes({0xAB, 1, 0xCD, 2, 0xEF, 3})}),
       {0xFFABCDEF}},
      {"interlaced RGB",
       interlaced,
       {0xFF010203, 0xFF040506, 0xFF070809, 0xFF0A0B0C, 0xFF0D0E0F, 0xFF101112, 0xFF131415,
        0xFF161718, 0xFF191A1B}},
      {"grey, no transparency chunk", greyKey, {0xFF070707, 0xFF090909}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = qvtest::EncodePng(c.picture);
    if (c.picture.metadata) {
      for (const char* chunk : {"tEXt", "zTXt", "iTXt", "gAMA", "cHRM", "sRGB", "pHYs", "tIME",
                                "bKGD", "sBIT", "eXIf"}) {
        EXPECT_NE(file.find(chunk), std::string::npos) << chunk << " was not written";
      }
    }
    DecodedImage decoded;
    ASSERT_TRUE(DecodePng(file.data(), file.size(), &decoded));
    EXPECT_EQ(decoded.width, c.picture.width);
    EXPECT_EQ(decoded.height, c.picture.height);
    EXPECT_EQ(PixelsOf(decoded.pixels.get(), decoded.width, decoded.height), c.expected);

    const auto image = FromMemory(file);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(PixelsOf(image->pixels(), image->width(), image->height()), c.expected)
        << "as a QVImage";
  }
}

TEST(JpegDecode, ColourAndGreyArriveOpaqueAndCmykIsRefused) {
  struct Case {
    const char* name;
    std::string file;
    uint32_t left, right;  // expected colour of each half, first row
  } cases[] = {
      {"RGB", qvtest::EncodeJpeg(16, 16, 3, SplitRgb), 0xFFE63C14, 0xFF0A8CC8},
      {"progressive RGB", qvtest::EncodeJpeg(16, 16, 3, SplitRgb, true), 0xFFE63C14, 0xFF0A8CC8},
      {"grey", qvtest::EncodeJpeg(16, 16, 1, GreyRamp), 0xFF282828, 0xFFC8C8C8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DecodedImage decoded;
    ASSERT_TRUE(DecodeJpeg(c.file.data(), c.file.size(), &decoded));
    ASSERT_EQ(decoded.width, 16);
    ASSERT_EQ(decoded.height, 16);
    const Pixels pixels = PixelsOf(decoded.pixels.get(), 16, 16);
    for (uint32_t p : pixels) ASSERT_EQ(p >> 24, 0xFFu) << "every pixel opaque";
    EXPECT_PRED3(Near, pixels[2], c.left, 6);
    EXPECT_PRED3(Near, pixels[13], c.right, 6);
    EXPECT_NE(FromMemory(c.file), nullptr);
  }

  const std::string cmyk = qvtest::EncodeJpeg(16, 16, 4, CmykInk);
  DecodedImage decoded;
  EXPECT_FALSE(DecodeJpeg(cmyk.data(), cmyk.size(), &decoded));
  EXPECT_EQ(decoded.pixels, nullptr);
  EXPECT_EQ(FromMemory(cmyk), nullptr);
}

// A resource of the test program, as bytes.
std::string ProgramResource(const wchar_t* name) {
  const HMODULE program = GetModuleHandleW(nullptr);
  const HRSRC found = FindResourceW(program, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!found) return std::string();
  const HGLOBAL loaded = LoadResource(program, found);
  return std::string(static_cast<const char*>(LockResource(loaded)),
                     SizeofResource(program, found));
}

// Photographs decode to exactly the pixels the stock libjpeg-turbo (Debian's djpeg, its default
// accurate IDCT and fancy upsampling) gives: the decoder built into the library leaves out only
// what it never asks for.
TEST(JpegDecode, PhotographsDecodeExactlyAsTheStockDecoderDoes) {
  for (const auto& name : {std::make_pair(L"PHOTO_420_JPG", L"PHOTO_420_PPM"),
                           std::make_pair(L"PHOTO_422P_JPG", L"PHOTO_422P_PPM")}) {
    SCOPED_TRACE(qvtest::Utf8(name.first));
    const std::string jpeg = ProgramResource(name.first);
    const std::string ppm = ProgramResource(name.second);
    ASSERT_FALSE(jpeg.empty());
    // "P6\n<width> <height>\n255\n", then RGB rows.
    int width = 0, height = 0, maxValue = 0, headerLength = 0;
    ASSERT_EQ(std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &width, &height, &maxValue, &headerLength),
              3);
    const std::string rgb = ppm.substr(static_cast<size_t>(headerLength) + 1);
    ASSERT_EQ(rgb.size(), static_cast<size_t>(width) * height * 3);

    DecodedImage decoded;
    ASSERT_TRUE(DecodeJpeg(jpeg.data(), jpeg.size(), &decoded));
    ASSERT_EQ(decoded.width, width);
    ASSERT_EQ(decoded.height, height);
    int differing = 0;
    for (int i = 0; i < width * height; ++i) {
      const uint8_t* bgra = decoded.pixels.get() + 4 * i;
      const auto* expected = reinterpret_cast<const uint8_t*>(rgb.data()) + 3 * i;
      if (bgra[2] != expected[0] || bgra[1] != expected[1] || bgra[0] != expected[2] ||
          bgra[3] != 0xFF) {
        ++differing;
      }
    }
    EXPECT_EQ(differing, 0) << "of " << width * height << " pixels";
  }
}

TEST(ImageLoad, NeitherEmptyTruncatedNorMissingFilesLoad) {
  const std::string png = qvtest::TwoColourPng(40, 30, 0xFF0000, 0x0000FF);
  const std::string jpeg = qvtest::EncodeJpeg(16, 16, 3, SplitRgb);
  std::vector<std::pair<std::string, std::string>> cases = {
      {"text", "just some text, neither PNG nor JPEG"},
      {"PNG signature only", png.substr(0, 8)},
      {"JPEG start marker only", jpeg.substr(0, 2)},
      {"BMP", "BM" + std::string(60, '\0')},
  };
  // Cut through the header, through the image data and just before the end chunk.
  for (size_t cut : {20u, 40u, 60u})
    cases.push_back({"PNG cut at " + std::to_string(cut), png.substr(0, cut)});
  cases.push_back({"PNG without its end", png.substr(0, png.size() - 12)});
  for (size_t cut : {100u, 300u, 500u})
    cases.push_back({"JPEG cut at " + std::to_string(cut), jpeg.substr(0, cut)});
  cases.push_back({"JPEG cut inside its data", jpeg.substr(0, jpeg.size() - 40)});

  qvtest::ScopedTempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(FromMemory(c.second), nullptr);
    const std::wstring file = dir.path() + L"image.bin";
    qvtest::WriteFileBytes(file, c.second);
    EXPECT_EQ(QVImage::loadFromFile(file), nullptr);
  }
  auto image = std::make_shared<QVImage>();
  EXPECT_FALSE(image->loadFromMemory(png.data(), 0));
  EXPECT_FALSE(image->loadFromMemory(nullptr, 10));
  qvtest::WriteFileBytes(dir.path() + L"empty.png", "");
  EXPECT_EQ(QVImage::loadFromFile(dir.path() + L"empty.png"), nullptr);
  EXPECT_EQ(QVImage::loadFromFile(dir.path() + L"missing.png"), nullptr);
  EXPECT_EQ(QVImage::loadFromFile(L""), nullptr);

  // The whole files load, from memory and from disk; a JPEG missing only its end marker is whole.
  for (const std::string& whole : {png, jpeg, jpeg.substr(0, jpeg.size() - 2)}) {
    EXPECT_NE(FromMemory(whole), nullptr);
    qvtest::WriteFileBytes(dir.path() + L"whole.bin", whole);
    EXPECT_NE(QVImage::loadFromFile(dir.path() + L"whole.bin"), nullptr);
  }
}

TEST(ImageLoad, PicturesBeyond256MiBOfPixelsAreRefused) {
  // 8200 x 8200 x 4 bytes is just over 256 MiB; 8192 x 8192 is exactly that and loads.
  auto greyPng = [](int side) {
    qvtest::PngPicture picture;
    picture.width = picture.height = side;
    picture.colorType = PNG_COLOR_TYPE_GRAY;
    picture.rows.assign(side, std::string(side, '\x55'));
    return qvtest::EncodePng(picture);
  };
  const std::string over = greyPng(8200);
  DecodedImage png;
  EXPECT_FALSE(DecodePng(over.data(), over.size(), &png));
  const std::string limit = greyPng(8192);
  EXPECT_TRUE(DecodePng(limit.data(), limit.size(), &png));
  EXPECT_EQ(png.width, 8192);

  const std::string overJpeg = qvtest::EncodeJpeg(
      8200, 8200, 1, [](int, int, int) { return 0x55; }, false, 50);
  DecodedImage jpeg;
  EXPECT_FALSE(DecodeJpeg(overJpeg.data(), overJpeg.size(), &jpeg));

  // The same limit holds for a blank image and a scaling target.
  EXPECT_EQ(QVImage::createBlank(8200, 8200), nullptr);
  EXPECT_EQ(QVImage::createBlank(0x40000000, 4), nullptr) << "width x 4 would overflow 32 bits";
  EXPECT_EQ(QVImage::createBlank(0, 10), nullptr);
  EXPECT_EQ(QVImage::createBlank(10, -1), nullptr);
  const auto small = FromMemory(qvtest::TwoColourPng(4, 4, 0, 0));
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(small->scaledTo(8200, 8200), nullptr);
  EXPECT_EQ(small->scaledTo(0, 10), nullptr);
}

TEST(ImageScale, AHundredByFiftyImageFillsTwoHundredSquare) {
  const auto image = FromMemory(qvtest::TwoColourPng(100, 50, 0xFF0000, 0x0000FF));
  ASSERT_NE(image, nullptr);
  const auto scaled = image->scaledTo(200, 200);
  ASSERT_NE(scaled, nullptr);
  ASSERT_EQ(scaled->width(), 200);
  ASSERT_EQ(scaled->height(), 200);
  const Pixels pixels = PixelsOf(scaled->pixels(), 200, 200);
  // Away from the seam every pixel keeps its half's colour, corners included (the mirrored wrap
  // keeps the filter from pulling a border in).
  for (int y : {0, 1, 100, 198, 199}) {
    for (int x : {0, 1, 50, 90, 110, 150, 198, 199}) {
      SCOPED_TRACE(testing::Message() << "x " << x << " y " << y);
      EXPECT_PRED3(Near, pixels[y * 200 + x] & 0xFFFFFF, x < 100 ? 0xFF0000u : 0x0000FFu, 2);
    }
  }
}

// Stretching keeps straight alpha: a transparent half stays transparent and an opaque half
// opaque, and colour does not turn dark where alpha is low.
TEST(ImageScale, AlphaSurvivesStretching) {
  qvtest::PngPicture picture;
  picture.width = 8;
  picture.height = 4;
  picture.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  std::string row;
  for (int x = 0; x < 8; ++x) row += x < 4 ? Bytes({200, 100, 50, 0}) : Bytes({20, 40, 220, 255});
  picture.rows.assign(4, row);
  qvtest::PngPicture half = picture;
  half.rows.assign(4, std::string());
  for (int x = 0; x < 8; ++x) half.rows[0] += Bytes({200, 100, 50, 128});
  half.rows.assign(4, half.rows[0]);
  struct Case {
    const char* name;
    qvtest::PngPicture picture;
    uint32_t left, right;
  } cases[] = {
      {"transparent and opaque halves", picture, 0x00000000, 0xFF1428DC},
      {"half transparent throughout", half, 0x80C86432, 0x80C86432},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto image = FromMemory(qvtest::EncodePng(c.picture));
    ASSERT_NE(image, nullptr);
    const auto scaled = image->scaledTo(32, 12);
    ASSERT_NE(scaled, nullptr);
    const Pixels pixels = PixelsOf(scaled->pixels(), 32, 12);
    for (int y : {0, 5, 11}) {
      for (int x : {0, 3, 12, 19, 28, 31}) {
        SCOPED_TRACE(testing::Message() << "x " << x << " y " << y);
        const uint32_t expected = x < 16 ? c.left : c.right;
        const uint32_t p = pixels[y * 32 + x];
        EXPECT_NEAR(static_cast<int>(p >> 24), static_cast<int>(expected >> 24), 2);
        // Colour counts only where the pixel is not fully transparent.
        if ((expected >> 24) != 0) {
          EXPECT_PRED3(Near, p, expected, 3);
        }
      }
    }
  }
}

// Application segments (an EXIF block, an ICC profile) are skipped, of any length, from memory
// and from a file alike.
TEST(JpegDecode, LargeApplicationSegmentsAreSkipped) {
  const std::string plain = qvtest::EncodeJpeg(16, 16, 3, SplitRgb);
  auto segment = [](int marker, size_t size) {
    std::string bytes = Bytes(
        {0xFF, marker, static_cast<int>((size + 2) >> 8), static_cast<int>((size + 2) & 0xFF)});
    for (size_t i = 0; i < size; ++i) bytes += static_cast<char>(i * 7 + 1);
    return bytes;
  };
  struct Case {
    const char* name;
    std::string segments;
  } cases[] = {
      {"EXIF of 10 KB", segment(0xE1, 10000)},
      {"EXIF of 60 KB and ICC of 5 KB", segment(0xE1, 60000) + segment(0xE2, 5000)},
      {"segment ending on the buffer's edge", segment(0xE1, 4090)},
      {"segment ending one byte past it", segment(0xE1, 4091)},
  };
  DecodedImage reference;
  ASSERT_TRUE(DecodeJpeg(plain.data(), plain.size(), &reference));
  const Pixels expected = PixelsOf(reference.pixels.get(), 16, 16);
  qvtest::ScopedTempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = plain.substr(0, 2) + c.segments + plain.substr(2);
    DecodedImage fromMemory;
    ASSERT_TRUE(DecodeJpeg(file.data(), file.size(), &fromMemory));
    EXPECT_EQ(PixelsOf(fromMemory.pixels.get(), fromMemory.width, fromMemory.height), expected);
    const std::wstring path = dir.path() + L"exif.jpg";
    qvtest::WriteFileBytes(path, file);
    const auto fromFile = QVImage::loadFromFile(path);
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(PixelsOf(fromFile->pixels(), fromFile->width(), fromFile->height()), expected);
  }
}

TEST(ImageScale, TheBitmapIsATopDown32BitCopy) {
  // Top and bottom rows differ, so the copy shows which way up it is.
  qvtest::PngPicture picture;
  picture.width = 2;
  picture.height = 3;
  picture.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  picture.rows = {Bytes({1, 2, 3, 255, 4, 5, 6, 128}), Bytes({7, 8, 9, 0, 10, 11, 12, 255}),
                  Bytes({200, 201, 202, 255, 203, 204, 205, 64})};
  const auto image = FromMemory(qvtest::EncodePng(picture));
  ASSERT_NE(image, nullptr);
  ScopedBitmap bitmap(image->toHBITMAP());
  ASSERT_TRUE(bitmap);
  DIBSECTION dib = {};
  ASSERT_EQ(GetObjectW(bitmap.get(), sizeof(dib), &dib), static_cast<int>(sizeof(dib)));
  EXPECT_EQ(dib.dsBm.bmWidth, 2);
  EXPECT_EQ(dib.dsBm.bmHeight, 3);
  EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);
  ASSERT_NE(dib.dsBm.bmBits, nullptr);
  EXPECT_EQ(PixelsOf(static_cast<uint8_t*>(dib.dsBm.bmBits), 2, 3),
            (Pixels{0xFF010203, 0x80040506, 0x00070809, 0xFF0A0B0C, 0xFFC8C9CA, 0x40CBCCCD}));
}
