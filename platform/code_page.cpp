#include "platform/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "UTF-16 text is read as UTF-16LE");

namespace {

// Length of the well-formed UTF-8 sequence at `s`, or 0.
size_t Utf8SequenceLength(const unsigned char* s, size_t left) {
  const unsigned char c = s[0];
  const size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || n > left) return 0;
  for (size_t i = 1; i < n; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
  }
  return n;
}

// Converts `text` with iconv. Where iconv stops at something it cannot take, `mend`
// appends what stands for it and gives the source bytes it covers.
template <class Mend>
std::string Recode(const char* to, const char* from, const char* text, size_t left, Mend mend) {
  std::string out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  char* in = const_cast<char*>(text);
  char buffer[256];
  while (left > 0) {
    char* dst = buffer;
    size_t room = sizeof buffer;
    const size_t r = iconv(cd, &in, &left, &dst, &room);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      const size_t used = std::min(left, mend(out, reinterpret_cast<const unsigned char*>(in), left));
      in += used;
      left -= used;
    }
  }
  iconv_close(cd);
  return out;
}

// `text` in the code set `from` as UTF-16; a byte iconv cannot take becomes U+FFFD.
std::u16string ToWide(const char* from, std::string_view text) {
  const std::string bytes = Recode("UTF-16LE", from, text.data(), text.size(), [](std::string& out, auto, size_t) {
    out.append("\xFD\xFF", 2);
    return size_t{1};
  });
  std::u16string wide(bytes.size() / 2, u'\0');
  std::memcpy(wide.data(), bytes.data(), wide.size() * 2);
  return wide;
}

}  // namespace

std::u16string ShiftJisToWide(std::string_view text) { return ToWide("CP932", text); }

std::string ShiftJisToUtf8(std::string_view text) {
  // Most names are ASCII, which both spell alike.
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return std::string(text);
  }
  return Recode("UTF-8", "CP932", text.data(), text.size(), [](std::string& out, const unsigned char* at, size_t) {
    out += static_cast<char>(*at);
    return size_t{1};
  });
}

std::u16string Utf8ToWide(std::string_view text) { return ToWide("UTF-8", text); }

std::string WideToShiftJis(std::u16string_view text) {
  return Recode("CP932", "UTF-16LE", reinterpret_cast<const char*>(text.data()), text.size() * 2,
                [](std::string& out, const unsigned char* at, size_t left) {
                  out += '?';
                  const bool pair = left >= 4 && (at[1] & 0xFC) == 0xD8 && (at[3] & 0xFC) == 0xDC;
                  return size_t{pair ? 4u : 2u};
                });
}

std::string Utf8ToShiftJis(std::string_view text) {
  return Recode("CP932", "UTF-8", text.data(), text.size(), [](std::string& out, const unsigned char* at, size_t left) {
    const size_t n = Utf8SequenceLength(at, left);
    out += n == 0 ? static_cast<char>(*at) : '?';
    return n == 0 ? size_t{1} : n;
  });
}
