#include "image/png_loader.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

#include "platform/alloc.h"
#include "platform/log.h"

namespace {

struct ReadSource {
  const StreamFunctionTable* stream;
  StreamHandle handle;
};

void ReadFromStream(png_structp png, png_bytep data, png_size_t length) {
  auto* source = static_cast<ReadSource*>(png_get_io_ptr(png));
  size_t got = source->stream->read(data, 1, length, source->handle);
  if (got != length) png_error(png, "unexpected end of file");
}

void OnPngError(png_structp png, png_const_charp message) {
  // Every allocation of the load is reachable from LoadPngImage's locals, which free
  // them after the jump.
  WriteLogFormat("PNG error: %s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

}  // namespace

int LoadPngImage(const StreamFunctionTable* stream, StreamHandle handle, ImageRecord* record) {
  std::memset(record, 0, sizeof(*record));
  png_byte signature[8];
  if (stream->read(signature, 1, 8, handle) != 8 || png_sig_cmp(signature, 0, 8) != 0)
    return kPngNotPng;

  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (png == nullptr) return WriteLog("PNG: out of memory\n"), kPngBroken;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return WriteLog("PNG: out of memory\n"), kPngBroken;
  }

  ReadSource source{stream, handle};
  // volatile: changed after setjmp and read after a longjmp back into this frame.
  unsigned char* volatile pixels = nullptr;
  png_bytep* volatile rows = nullptr;

  if (setjmp(png_jmpbuf(png))) {
    TrackedFree(rows);
    TrackedFree(pixels);
    png_destroy_read_struct(&png, &info, nullptr);
    std::memset(record, 0, sizeof(*record));
    return kPngBroken;
  }

  png_set_read_fn(png, &source, ReadFromStream);
  png_set_sig_bytes(png, 8);
  png_set_user_limits(png, kPngMaxDimension, kPngMaxDimension);
  png_read_info(png, info);

  const int colourType = png_get_color_type(png, info);
  const int hasAlpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS);

  // Everything becomes 8-bit blue, green, red, alpha.
  png_set_expand(png);  // palette to RGB, grey below 8 bits to 8, tRNS to alpha
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  if (!(colourType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 4)
    png_error(png, "unexpected row layout after conversion");

  const size_t pitch = static_cast<size_t>(width) * 4;
  pixels = static_cast<unsigned char*>(TrackedAlloc(pitch * height, "png_loader", __LINE__));
  rows = static_cast<png_bytep*>(TrackedAlloc(sizeof(png_bytep) * height, "png_loader", __LINE__));
  if (pixels == nullptr || rows == nullptr) png_error(png, "out of memory");
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels + y * pitch;
  png_read_image(png, rows);
  png_read_end(png, nullptr);

  TrackedFree(rows);
  png_destroy_read_struct(&png, &info, nullptr);

  if (hasAlpha)
    SetPixelFormatArgb8888(&record->format);
  else
    SetPixelFormatXrgb8888(&record->format);
  record->width = static_cast<int>(width);
  record->height = static_cast<int>(height);
  record->pitch = static_cast<int>(pitch);
  record->pixels = pixels;
  return kPngLoaded;
}
