#include "search/constants.h"

#ifdef TARVO_TUNE

#include <type_traits>

SearchConstants Constants = DefaultConstants;

namespace {

// Fractional constants travel over UCI in sixteenths: depths then move in
// steps a search can tell apart.
constexpr i32 FractionScale = 16;

template <class T>
constexpr i32 ToUci(T v) {
  if constexpr (std::is_floating_point_v<T>)
    return i32(v * FractionScale + (v < 0 ? -0.5f : 0.5f));
  else
    return i32(v);
}

template <class T>
T FromUci(i32 v) {
  if constexpr (std::is_floating_point_v<T>)
    return T(v) / FractionScale;
  else
    return T(v);
}

}  // namespace

const TunableConstant TunableConstants[] = {
#define TARVO_TUNABLE(type, name, value, low, high)                \
  {#name, ToUci<type>(value), ToUci<type>(low), ToUci<type>(high), \
   [](i32 v) { Constants.name = FromUci<type>(v); }},
    TARVO_SEARCH_CONSTANTS(TARVO_TUNABLE)
#undef TARVO_TUNABLE
};
const int TunableConstantCount = int(sizeof TunableConstants / sizeof TunableConstants[0]);

#endif
