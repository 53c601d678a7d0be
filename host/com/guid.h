#pragma once
// Identifiers of classes and interfaces, written as their usual text form and parsed at
// compile time. None of them leaves the process.
#include <cstdint>
#include <cstring>

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using REFGUID = const GUID&;

inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }

namespace guid_detail {
constexpr uint32_t HexDigit(char c) {
  return c >= '0' && c <= '9' ? static_cast<uint32_t>(c - '0')
         : c >= 'A' && c <= 'F' ? static_cast<uint32_t>(c - 'A' + 10)
         : c >= 'a' && c <= 'f' ? static_cast<uint32_t>(c - 'a' + 10)
                                : throw "not a hex digit";
}
constexpr uint32_t Hex(const char* text, int digits) {
  uint32_t value = 0;
  for (int i = 0; i < digits; ++i) value = value * 16 + HexDigit(text[i]);
  return value;
}
}  // namespace guid_detail

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX"; anything else fails to compile.
consteval GUID MakeGuid(const char (&text)[37]) {
  using guid_detail::Hex;
  if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') throw "bad GUID";
  GUID g{Hex(text, 8), static_cast<uint16_t>(Hex(text + 9, 4)), static_cast<uint16_t>(Hex(text + 14, 4)), {}};
  g.Data4[0] = static_cast<uint8_t>(Hex(text + 19, 2));
  g.Data4[1] = static_cast<uint8_t>(Hex(text + 21, 2));
  for (int i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<uint8_t>(Hex(text + 24 + 2 * i, 2));
  return g;
}

inline constexpr GUID GUID_NULL{};

// The system's published interface identifiers.
#define COM_IDENTIFIERS(X)                                    \
  X(IID_IUnknown, "00000000-0000-0000-C000-000000000046")  \
  X(IID_IPersist, "0000010C-0000-0000-C000-000000000046")  \
  X(IID_IDispatch, "00020400-0000-0000-C000-000000000046") \
  X(IID_ITypeInfo, "00020401-0000-0000-C000-000000000046") \
  X(IID_ITypeLib, "00020402-0000-0000-C000-000000000046")

#define DEFINE_IDENTIFIER(name, text) inline constexpr GUID name = MakeGuid(text);
COM_IDENTIFIERS(DEFINE_IDENTIFIER)
