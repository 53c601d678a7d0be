#include "image/png_loader.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <vector>

#include "platform/stream.h"

namespace {

int Load(const std::vector<uint8_t>& bytes, ImageRecord* record) {
  const StreamHandle stream = BufferStreamOpen(bytes.data(), bytes.size());
  const int result = LoadPngImage(GetBufferStreamFunctions(), stream, record);
  BufferStreamClose(stream);
  return result;
}

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

struct PngSpec {
  const char* name;
  int colourType;
  int bitDepth;
  int interlace;
  bool withTrns;
};

// Pixel (x, y) of the 5 x 3 test picture as 16-bit RGBA samples: distinct colours,
// with an alpha that varies where the type carries one.
void Sample16(int x, int y, unsigned rgba[4]) {
  rgba[0] = static_cast<unsigned>(x * 13000 + 1000);
  rgba[1] = static_cast<unsigned>(y * 30000 + 500);
  rgba[2] = static_cast<unsigned>((x + y) * 8000);
  rgba[3] = static_cast<unsigned>(65535 - x * 16000);
}

constexpr int kW = 5, kH = 3;

// The expected 8-bit blue, green, red, alpha of (x, y) after decoding.
void Expected(const PngSpec& spec, int x, int y, uint8_t bgra[4]) {
  unsigned s[4];
  Sample16(x, y, s);
  const int maxGrey = (1 << spec.bitDepth) - 1;
  switch (spec.colourType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_GRAY_ALPHA: {
      const unsigned level = (x + y * kW) % (maxGrey + 1);
      const uint8_t grey = static_cast<uint8_t>(spec.bitDepth == 16 ? (level * 4000) >> 8 : level * 255 / maxGrey);
      bgra[0] = bgra[1] = bgra[2] = grey;
      bgra[3] = spec.colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? static_cast<uint8_t>(s[3] >> 8) : 255;
      if (spec.withTrns && level == 0) bgra[3] = 0;
      return;
    }
    case PNG_COLOR_TYPE_PALETTE: {
      const int index = (x + y * kW) % 7;
      bgra[2] = static_cast<uint8_t>(index * 30);
      bgra[1] = static_cast<uint8_t>(255 - index * 20);
      bgra[0] = static_cast<uint8_t>(index * 7);
      bgra[3] = spec.withTrns ? static_cast<uint8_t>(index * 40) : 255;
      return;
    }
    default:
      bgra[2] = static_cast<uint8_t>(s[0] >> 8);
      bgra[1] = static_cast<uint8_t>(s[1] >> 8);
      bgra[0] = static_cast<uint8_t>(s[2] >> 8);
      bgra[3] = spec.colourType == PNG_COLOR_TYPE_RGB_ALPHA ? static_cast<uint8_t>(s[3] >> 8) : 255;
  }
}

std::vector<uint8_t> EncodePng(const PngSpec& spec) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendBytes, nullptr);
  png_set_IHDR(png, info, kW, kH, spec.bitDepth, spec.colourType, spec.interlace,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (spec.colourType == PNG_COLOR_TYPE_PALETTE) {
    png_color palette[7];
    png_byte alphas[7];
    for (int i = 0; i < 7; ++i) {
      palette[i] = {static_cast<png_byte>(i * 30), static_cast<png_byte>(255 - i * 20), static_cast<png_byte>(i * 7)};
      alphas[i] = static_cast<png_byte>(i * 40);
    }
    png_set_PLTE(png, info, palette, 7);
    if (spec.withTrns) png_set_tRNS(png, info, alphas, 7, nullptr);
  } else if (spec.withTrns && spec.colourType == PNG_COLOR_TYPE_GRAY) {
    png_color_16 key = {};
    key.gray = 0;
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  png_write_info(png, info);
  const int channels = png_get_channels(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  std::vector<std::vector<png_byte>> rows(kH, std::vector<png_byte>(rowBytes));
  const int maxGrey = (1 << spec.bitDepth) - 1;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      unsigned s[4];
      Sample16(x, y, s);
      unsigned values[4];
      if (spec.colourType == PNG_COLOR_TYPE_PALETTE) {
        values[0] = static_cast<unsigned>((x + y * kW) % 7);
      } else if (spec.colourType & PNG_COLOR_MASK_COLOR) {
        for (int c = 0; c < 4; ++c) values[c] = spec.bitDepth == 16 ? s[c] : s[c] >> 8;
      } else {
        const unsigned level = (x + y * kW) % (maxGrey + 1);
        values[0] = spec.bitDepth == 16 ? level * 4000 : level;
        values[1] = spec.bitDepth == 16 ? s[3] : s[3] >> 8;
      }
      if (spec.bitDepth < 8) {
        const int perByte = 8 / spec.bitDepth;
        const int shift = 8 - spec.bitDepth * (x % perByte + 1);
        rows[y][x / perByte] |= static_cast<png_byte>(values[0] << shift);
      } else if (spec.bitDepth == 8) {
        for (int c = 0; c < channels; ++c) rows[y][x * channels + c] = static_cast<png_byte>(values[c]);
      } else {
        for (int c = 0; c < channels; ++c) {
          rows[y][(x * channels + c) * 2] = static_cast<png_byte>(values[c] >> 8);
          rows[y][(x * channels + c) * 2 + 1] = static_cast<png_byte>(values[c]);
        }
      }
    }
  }
  std::vector<png_bytep> pointers;
  for (auto& row : rows) pointers.push_back(row.data());
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

TEST(PngLoader, EveryColourTypeAndDepthDecodesToKnownPixels) {
  const PngSpec specs[] = {
      {"rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8, PNG_INTERLACE_NONE, false},
      {"rgba16", PNG_COLOR_TYPE_RGB_ALPHA, 16, PNG_INTERLACE_NONE, false},
      {"rgb8", PNG_COLOR_TYPE_RGB, 8, PNG_INTERLACE_NONE, false},
      {"rgb16", PNG_COLOR_TYPE_RGB, 16, PNG_INTERLACE_NONE, false},
      {"rgb8 interlaced", PNG_COLOR_TYPE_RGB, 8, PNG_INTERLACE_ADAM7, false},
      {"palette8", PNG_COLOR_TYPE_PALETTE, 8, PNG_INTERLACE_NONE, false},
      {"palette4 with tRNS", PNG_COLOR_TYPE_PALETTE, 4, PNG_INTERLACE_NONE, true},
      {"palette8 with tRNS", PNG_COLOR_TYPE_PALETTE, 8, PNG_INTERLACE_NONE, true},
      {"grey1", PNG_COLOR_TYPE_GRAY, 1, PNG_INTERLACE_NONE, false},
      {"grey2", PNG_COLOR_TYPE_GRAY, 2, PNG_INTERLACE_NONE, false},
      {"grey4 with tRNS", PNG_COLOR_TYPE_GRAY, 4, PNG_INTERLACE_NONE, true},
      {"grey8", PNG_COLOR_TYPE_GRAY, 8, PNG_INTERLACE_NONE, false},
      {"grey16", PNG_COLOR_TYPE_GRAY, 16, PNG_INTERLACE_NONE, false},
      {"grey-alpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, PNG_INTERLACE_NONE, false},
      {"grey-alpha16", PNG_COLOR_TYPE_GRAY_ALPHA, 16, PNG_INTERLACE_ADAM7, false},
  };
  for (const PngSpec& spec : specs) {
    SCOPED_TRACE(spec.name);
    ImageRecord record;
    ASSERT_EQ(Load(EncodePng(spec), &record), kPngLoaded);
    EXPECT_EQ(record.width, kW);
    EXPECT_EQ(record.height, kH);
    EXPECT_EQ(record.format.bitsPerPixel, 32);
    const bool alpha = (spec.colourType & PNG_COLOR_MASK_ALPHA) || spec.withTrns;
    EXPECT_EQ(record.format.hasAlpha, alpha ? 1 : 0);
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        uint8_t want[4];
        Expected(spec, x, y, want);
        const uint8_t* got = static_cast<uint8_t*>(record.pixels) + y * record.pitch + x * 4;
        for (int c = 0; c < 4; ++c)
          ASSERT_EQ(got[c], want[c]) << "pixel " << x << "," << y << " byte " << c;
      }
    }
    ReleaseImageRecord(&record);
    EXPECT_EQ(record.pixels, nullptr);
  }
}

TEST(PngLoader, BrokenFilesAreRefusedAndLeaveTheRecordEmpty) {
  const std::vector<uint8_t> good = EncodePng({"rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8, PNG_INTERLACE_NONE, false});
  std::vector<uint8_t> corruptData = good;
  corruptData[good.size() - 20] ^= 0x5A;  // inside the image data: CRC or inflate fails
  std::vector<uint8_t> corruptHeader = good;
  corruptHeader[17] ^= 0x01;  // width byte: header CRC fails
  std::vector<uint8_t> hugeHeader = good;
  // Width of 2^30 with a recomputed CRC: a valid header that asks for too much.
  hugeHeader[16] = 0x40, hugeHeader[17] = hugeHeader[18] = hugeHeader[19] = 0;
  png_uint_32 crc = static_cast<png_uint_32>(crc32(0, hugeHeader.data() + 12, 17));
  for (int i = 0; i < 4; ++i) hugeHeader[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    int result;
  } cases[] = {
      {"truncated in the data", std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2), kPngBroken},
      {"truncated after the signature", std::vector<uint8_t>(good.begin(), good.begin() + 12), kPngBroken},
      {"corrupt image data", corruptData, kPngBroken},
      {"corrupt header", corruptHeader, kPngBroken},
      {"oversized header", hugeHeader, kPngBroken},
      {"not a PNG", std::vector<uint8_t>{'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8}, kPngNotPng},
      {"empty", std::vector<uint8_t>{}, kPngNotPng},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ImageRecord record;
    std::memset(&record, 0x77, sizeof(record));
    EXPECT_EQ(Load(c.bytes, &record), c.result);
    EXPECT_EQ(record.pixels, nullptr);
    EXPECT_EQ(record.width, 0);
  }
  ImageRecord record;
  ASSERT_EQ(Load(good, &record), kPngLoaded);  // a refused load leaves nothing behind
  ReleaseImageRecord(&record);
}

}  // namespace
