#include "base/text.h"

#include <cstring>

i32 ParseInt(const char* text) {
  while (*text == ' ' || *text == '\t') ++text;
  bool negative = false;
  if (*text == '-' || *text == '+') negative = *text++ == '-';
  i64 value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > 2147483648ll) value = 2147483648ll;
  }
  if (negative) return i32(-value);
  return value > 2147483647ll ? 2147483647 : i32(value);
}

bool Contains(const char* text, const char* needle) { return std::strstr(text, needle) != nullptr; }

bool StartsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

void CopyBounded(char* dest, const char* src, int capacity) {
  int i = 0;
  for (; i < capacity - 1 && src[i] != '\0' && src[i] != '\n'; ++i) dest[i] = src[i];
  dest[i] = '\0';
}
