// The legacy program's extended type, LegacyExtended: the x87's long double
// on x86 and x86-64, SoftExtended (the same bits in integer code) wherever
// long double is something else, and everywhere in a build configured with
// -DORVALEN_SOFT_EXTENDED=ON. Also the few per-type operations the legacy
// number rules need beyond arithmetic: |x| and the fields of the format.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "legacy/soft_extended.h"

// Whether long double is the x87's 80-bit type, stored little-endian in the
// x87's memory image: then the rules are instantiated for it too.
#if LDBL_MANT_DIG == 64 && (defined(__x86_64__) || defined(__i386__))
#define ORVALEN_LONG_DOUBLE_IS_X87 1
#else
#define ORVALEN_LONG_DOUBLE_IS_X87 0
#endif

namespace orvalen {

#if ORVALEN_LONG_DOUBLE_IS_X87 && !defined(ORVALEN_SOFT_EXTENDED)
using LegacyExtended = long double;
#else
using LegacyExtended = SoftExtended;
#endif

#if ORVALEN_LONG_DOUBLE_IS_X87
inline long double Fabs(long double x) {
  return std::fabs(x);
}
// The fields read from the memory image (bits 0..63 the significand, 64..78
// the biased exponent): cheaper than std::ilogb and a conversion instruction.
inline int BiasedExponentOf(long double x) {
  unsigned char bytes[sizeof x];
  std::memcpy(bytes, &x, sizeof x);
  return static_cast<int>((bytes[9] & 0x7fu) << 8 | bytes[8]);
}
inline std::uint64_t SignificandOf(long double x) {
  std::uint64_t significand;
  std::memcpy(&significand, &x, sizeof significand);
  return significand;
}
#endif

inline int BiasedExponentOf(const SoftExtended& x) {
  return x.BiasedExponent();
}
inline std::uint64_t SignificandOf(const SoftExtended& x) {
  return x.Significand();
}

}  // namespace orvalen
