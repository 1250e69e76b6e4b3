// The bottom layer, base/: what every other layer uses and that knows no
// chess: these fixed-size types, printing to the GUI (output.h), the platform
// layer (platform.h), the reader of standard input (input.h) and small text
// helpers (text.h). It includes nothing of the engine's own.
#pragma once

#include <cstdint>

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;
using i8 = std::int8_t;
using i16 = std::int16_t;
using i32 = std::int32_t;
using i64 = std::int64_t;
using f32 = float;

// Asks for the cache line of p ahead of its use (a hint: no effect on results).
inline void Prefetch(const void* p) {
#if defined(__GNUC__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

// Narrows to 16 bits, saturating: a sum past the range keeps its sign
// instead of wrapping round to the other one.
inline i16 SaturateToI16(i64 v) { return i16(v < INT16_MIN ? INT16_MIN : v > INT16_MAX ? INT16_MAX : v); }
