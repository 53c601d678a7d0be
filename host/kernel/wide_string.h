#pragma once
// The UTF-16 string helpers the media-filter code uses for pin, filter and file names.
#include <cstddef>
#include <string>
#include <string_view>

// Characters before the terminator; 0 for null.
size_t WideLength(const char16_t* text);
// Compares code unit by code unit, case-sensitive: <0, 0 or >0. Null sorts as empty.
int WideCompare(const char16_t* a, const char16_t* b);
// Copies at most `capacity` - 1 characters and always terminates (capacity > 0); a null
// source gives an empty string.
void WideCopyN(char16_t* destination, const char16_t* source, size_t capacity);
// UTF-16 to UTF-8 (file names the system opens); an unpaired surrogate becomes U+FFFD.
std::string WideToUtf8(std::u16string_view text);
