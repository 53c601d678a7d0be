#pragma once
// The two game files as the tests see them, written apart from the game's code: the
// save body's key stream (its own inverse) and the check word both files carry at
// byte 12 over everything from byte 16. Shared by the file tests and the fuzz check.
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>

inline std::string XorSaveKeyStream(std::string image) {
  uint32_t s = 0x56C4E12Du;
  for (size_t i = 16; i < image.size(); ++i) {
    s = s * 1664525u + 1013904223u;
    image[i] = char(uint8_t(image[i]) ^ (s >> 24));
  }
  return image;
}

// `image` with its check word set to match its body.
inline std::string SignedImage(std::string image) {
  if (image.size() < 16) return image;
  const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(image.data()) + 16, uInt(image.size() - 16)));
  std::memcpy(image.data() + 12, &crc, 4);
  return image;
}
