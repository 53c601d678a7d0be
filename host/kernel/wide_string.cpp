#include "host/kernel/wide_string.h"

size_t WideLength(const char16_t* text) {
  size_t n = 0;
  if (text != nullptr) {
    while (text[n] != 0) ++n;
  }
  return n;
}

int WideCompare(const char16_t* a, const char16_t* b) {
  static const char16_t kEmpty[1] = {0};
  if (a == nullptr) a = kEmpty;
  if (b == nullptr) b = kEmpty;
  while (*a != 0 && *a == *b) {
    ++a;
    ++b;
  }
  return static_cast<int>(*a) - static_cast<int>(*b);
}

void WideCopyN(char16_t* destination, const char16_t* source, size_t capacity) {
  if (destination == nullptr || capacity == 0) return;
  size_t i = 0;
  if (source != nullptr) {
    for (; i + 1 < capacity && source[i] != 0; ++i) destination[i] = source[i];
  }
  destination[i] = 0;
}
