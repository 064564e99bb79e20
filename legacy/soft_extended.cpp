#include "legacy/soft_extended.h"

#include <bit>
#include <limits>
#include <utility>

// Written here rather than taken from a library: Debian has no packaged
// software floating point with the x87's 80-bit format for every
// architecture, and the few operations needed fit in this file. Only 64-bit
// integer arithmetic is used (no unsigned __int128, which 32-bit targets
// lack), so every target computes the same bits.

namespace orvalen {
namespace {

using U64 = std::uint64_t;
constexpr U64 kHalf = U64{1} << 63;  // the half of a unit, in the bits below one
constexpr int kBias = SoftExtended::kExponentBias;
constexpr int kMaxExponent = SoftExtended::kMaxBiasedExponent;

// A value in the making: significand.extra * 2^(exponent - kBias - 63), that
// is `significand` the 64 bits kept and `extra` the 64 bits after them.
// `exponent` may lie outside the format's range until it is rounded.
struct Wide {
  U64 significand;
  U64 extra;
  int exponent;
};

// Shifts significand.extra right by `count` >= 0 bits; whatever falls off the
// end sets the lowest bit of extra ("jamming"), so that the rounding still
// sees whether the value lay above a boundary.
constexpr Wide ShiftRightJam(Wide w, int count) {
  if (count == 0) return w;
  if (count >= 128) return {0, (w.significand | w.extra) != 0 ? U64{1} : 0, w.exponent + count};
  if (count >= 64) {
    const int inner = count - 64;
    const U64 lost = (inner == 0 ? 0 : w.significand << (64 - inner)) | w.extra;
    return {0, w.significand >> inner | (lost != 0), w.exponent + count};
  }
  const U64 lost = w.extra << (64 - count);
  return {w.significand >> count, w.significand << (64 - count) | w.extra >> count | (lost != 0),
          w.exponent + count};
}

// Shifts a nonzero significand.extra left until the integer bit is set.
constexpr Wide Normalize(Wide w) {
  if (w.significand == 0) w = {w.extra, 0, w.exponent - 64};
  const int count = std::countl_zero(w.significand);
  if (count == 0) return w;
  return {w.significand << count | w.extra >> (64 - count), w.extra << count, w.exponent - count};
}

// Rounds a normalized value to 64 bits, to nearest, ties to even: on the
// denormal grid below the normal range, to an infinity above it.
constexpr SoftExtended RoundAndPack(bool negative, Wide w) {
  if (w.exponent <= 0) {
    w = ShiftRightJam(w, 1 - w.exponent);
    w.exponent = 0;
  }
  if (w.extra > kHalf || (w.extra == kHalf && (w.significand & 1) != 0)) {
    if (++w.significand == 0) {  // 0xFF..FF rounded up: a carry into a new bit
      w.significand = SoftExtended::kIntegerBit;
      ++w.exponent;
    } else if (w.exponent == 0 && w.significand == SoftExtended::kIntegerBit) {
      w.exponent = 1;  // the largest denormal rounded up to the smallest normal
    }
  }
  if (w.exponent >= kMaxExponent) return SoftExtended::Infinity(negative);
  return SoftExtended::FromFields(negative, static_cast<std::uint16_t>(w.exponent), w.significand);
}

// A finite nonzero operand as significand * 2^(exponent - kBias - 63) with the
// integer bit set; a denormal gets an exponent below 1.
constexpr Wide Unpack(const SoftExtended& x) {
  if (x.BiasedExponent() == 0) return Normalize({x.Significand(), 0, 1});
  return {x.Significand(), 0, x.BiasedExponent()};
}

constexpr SoftExtended Quiet(const SoftExtended& x) {
  return SoftExtended::FromFields(x.Negative(), x.BiasedExponent(),
                                  x.Significand() | SoftExtended::kQuietBit);
}

// The NaN an operation on at least one NaN gives, by the x87's rule: a quiet
// NaN before a signalling one, else the larger significand, made quiet.
SoftExtended PropagateNan(const SoftExtended& a, const SoftExtended& b) {
  if (!a.IsNan()) return Quiet(b);
  if (!b.IsNan()) return Quiet(a);
  const bool a_quiet = (a.Significand() & SoftExtended::kQuietBit) != 0;
  const bool b_quiet = (b.Significand() & SoftExtended::kQuietBit) != 0;
  if (a_quiet != b_quiet) return a_quiet ? a : b;
  if (a.Significand() != b.Significand()) return Quiet(a.Significand() > b.Significand() ? a : b);
  return Quiet(a.Negative() ? b : a);
}

// The sum of two finite values, either possibly zero.
SoftExtended Add(const SoftExtended& a, const SoftExtended& b) {
  if (a.IsZero() || b.IsZero()) {
    if (!b.IsZero()) return b;
    if (!a.IsZero()) return a;
    return SoftExtended::FromFields(a.Negative() && b.Negative(), 0, 0);
  }
  // Denormals take part unnormalized, with the exponent 1 they stand for.
  Wide x{a.Significand(), 0, a.BiasedExponent() == 0 ? 1 : a.BiasedExponent()};
  Wide y{b.Significand(), 0, b.BiasedExponent() == 0 ? 1 : b.BiasedExponent()};
  bool negative = a.Negative();
  const bool x_smaller =
      x.exponent < y.exponent || (x.exponent == y.exponent && x.significand < y.significand);
  if (x_smaller) {
    std::swap(x, y);
    negative = b.Negative();
  }
  y = ShiftRightJam(y, x.exponent - y.exponent);
  if (a.Negative() == b.Negative()) {
    Wide sum{x.significand + y.significand, y.extra, x.exponent};
    if (sum.significand < x.significand) {  // a carry out of the 64 bits
      sum = ShiftRightJam(sum, 1);
      sum.significand |= SoftExtended::kIntegerBit;
    }
    return RoundAndPack(negative, Normalize(sum));
  }
  if (x.significand == y.significand && y.extra == 0) return {};  // x - x is +0
  // Only a difference of at most one place in the exponents can cancel more
  // than one leading bit, and it loses no bits on the shift: the jammed bit
  // moves at most one place on the normalization.
  const Wide difference{x.significand - y.significand - (y.extra != 0), U64{0} - y.extra,
                        x.exponent};
  return RoundAndPack(negative, Normalize(difference));
}

// The 128-bit product of two 64-bit numbers, as high and low halves.
constexpr Wide MultiplyWide(U64 a, U64 b) {
  const U64 a_low = a & 0xffffffff, a_high = a >> 32;
  const U64 b_low = b & 0xffffffff, b_high = b >> 32;
  const U64 low_low = a_low * b_low;
  const U64 high_low = a_high * b_low;
  const U64 low_high = a_low * b_high;
  const U64 middle = (low_low >> 32) + (high_low & 0xffffffff) + (low_high & 0xffffffff);
  const U64 high = a_high * b_high + (high_low >> 32) + (low_high >> 32) + (middle >> 32);
  return {high, middle << 32 | (low_low & 0xffffffff), 0};
}

// (high * 2^64 + low) / divisor with high < divisor and the top bit of the
// divisor set: the 64-bit quotient (significand) and the remainder (extra),
// by long division in 32-bit digits (Knuth's algorithm D for two digits).
constexpr Wide DivideWide(U64 high, U64 low, U64 divisor) {
  constexpr U64 kDigit = U64{1} << 32;
  const U64 divisor_high = divisor >> 32, divisor_low = divisor & 0xffffffff;
  const auto digit = [&](U64 top, U64 next) {  // one quotient digit of top.next / divisor
    U64 q = top / divisor_high;
    U64 rest = top - q * divisor_high;
    while (q >= kDigit || q * divisor_low > (rest << 32 | next)) {
      --q;
      rest += divisor_high;
      if (rest >= kDigit) break;
    }
    return q;
  };
  const U64 q1 = digit(high, low >> 32);
  const U64 middle = (high << 32 | low >> 32) - q1 * divisor;
  const U64 q0 = digit(middle, low & 0xffffffff);
  const U64 remainder = (middle << 32 | (low & 0xffffffff)) - q0 * divisor;
  return {q1 << 32 | q0, remainder, 0};
}

}  // namespace

SoftExtended::SoftExtended(double value) {
  const auto bits = std::bit_cast<U64>(value);
  negative_ = (bits >> 63) != 0;
  const auto field = static_cast<int>(bits >> 52 & 0x7ff);
  const U64 fraction = bits & ((U64{1} << 52) - 1);
  if (field == 0x7ff) {
    exponent_ = kMaxBiasedExponent;
    significand_ = kIntegerBit | (fraction == 0 ? 0 : kQuietBit | fraction << 11);
  } else if (field == 0) {
    if (fraction == 0) return;
    const int shift = std::countl_zero(fraction);
    exponent_ = static_cast<std::uint16_t>(kBias - 1011 - shift);  // 2^-1074 * 2^(63 - shift)
    significand_ = fraction << shift;
  } else {
    exponent_ = static_cast<std::uint16_t>(field - 1023 + kBias);
    significand_ = kIntegerBit | fraction << 11;
  }
}

SoftExtended SoftExtended::FromBytes(const std::array<unsigned char, 10>& bytes) {
  U64 significand = 0;
  for (int i = 7; i >= 0; --i) significand = significand << 8 | bytes[static_cast<unsigned>(i)];
  const unsigned top = static_cast<unsigned>(bytes[9]) << 8 | bytes[8];
  return FromFields((top & 0x8000) != 0, static_cast<std::uint16_t>(top & 0x7fff), significand);
}

std::array<unsigned char, 10> SoftExtended::Bytes() const {
  std::array<unsigned char, 10> bytes{};
  for (unsigned i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(significand_ >> (8 * i));
  const unsigned top = (negative_ ? 0x8000u : 0u) | exponent_;
  bytes[8] = static_cast<unsigned char>(top);
  bytes[9] = static_cast<unsigned char>(top >> 8);
  return bytes;
}

double SoftExtended::ToDouble() const {
  const U64 sign = negative_ ? kHalf : 0;
  if (exponent_ == kMaxBiasedExponent) {
    if (IsInf()) return std::bit_cast<double>(sign | U64{0x7ff} << 52);
    return std::bit_cast<double>(sign | U64{0x7ff} << 52 | U64{1} << 51 |
                                 (significand_ >> 11 & ((U64{1} << 52) - 1)));
  }
  if (IsZero()) return std::bit_cast<double>(sign);
  const Wide w = Unpack(*this);
  const int binary_exponent = w.exponent - kBias;  // of the integer bit
  // Keep 53 bits in the normal range, fewer on the double's denormal grid
  // 2^-1074; the field and the integer bit then add up to the double's bits.
  const int dropped = binary_exponent >= -1022 ? 11 : 11 + (-1022 - binary_exponent);
  Wide kept = ShiftRightJam({w.significand, 0, 0}, dropped);
  if (kept.extra > kHalf || (kept.extra == kHalf && (kept.significand & 1) != 0)) {
    ++kept.significand;  // at most 2^53: the next binade, still exact below
  }
  if (binary_exponent < -1022) return std::bit_cast<double>(sign | kept.significand);
  const U64 field = static_cast<U64>(binary_exponent + 1022);  // the integer bit adds one
  if (field + (kept.significand >> 52) > 2046)
    return std::bit_cast<double>(sign | U64{0x7ff} << 52);
  return std::bit_cast<double>(sign | ((field << 52) + kept.significand));
}

std::int64_t SoftExtended::ToInt64Truncated() const {
  constexpr std::int64_t kIndefinite = std::numeric_limits<std::int64_t>::min();
  if (exponent_ == kMaxBiasedExponent) return kIndefinite;
  if (exponent_ < kBias) return 0;
  const int binary_exponent = exponent_ - kBias;
  if (binary_exponent >= 63) return kIndefinite;  // also the exact -2^63
  const auto magnitude = static_cast<std::int64_t>(significand_ >> (63 - binary_exponent));
  return negative_ ? -magnitude : magnitude;
}

SoftExtended operator+(const SoftExtended& a, const SoftExtended& b) {
  if (a.IsNan() || b.IsNan()) return PropagateNan(a, b);
  if (a.IsInf() || b.IsInf()) {
    if (a.IsInf() && b.IsInf() && a.Negative() != b.Negative()) return SoftExtended::DefaultNan();
    return a.IsInf() ? a : b;
  }
  return Add(a, b);
}

SoftExtended operator-(const SoftExtended& a, const SoftExtended& b) {
  if (a.IsNan() || b.IsNan()) return PropagateNan(a, b);
  return a + -b;
}

SoftExtended operator*(const SoftExtended& a, const SoftExtended& b) {
  if (a.IsNan() || b.IsNan()) return PropagateNan(a, b);
  const bool negative = a.Negative() != b.Negative();
  if (a.IsInf() || b.IsInf()) {
    if (a.IsZero() || b.IsZero()) return SoftExtended::DefaultNan();
    return SoftExtended::Infinity(negative);
  }
  if (a.IsZero() || b.IsZero()) return SoftExtended::FromFields(negative, 0, 0);
  const Wide x = Unpack(a), y = Unpack(b);
  Wide product = MultiplyWide(x.significand, y.significand);  // in [2^126, 2^128)
  product.exponent = x.exponent + y.exponent - kBias + 1;
  return RoundAndPack(negative, Normalize(product));
}

SoftExtended operator/(const SoftExtended& a, const SoftExtended& b) {
  if (a.IsNan() || b.IsNan()) return PropagateNan(a, b);
  const bool negative = a.Negative() != b.Negative();
  if (a.IsInf()) return b.IsInf() ? SoftExtended::DefaultNan() : SoftExtended::Infinity(negative);
  if (b.IsInf()) return SoftExtended::FromFields(negative, 0, 0);
  if (b.IsZero()) return a.IsZero() ? SoftExtended::DefaultNan() : SoftExtended::Infinity(negative);
  if (a.IsZero()) return SoftExtended::FromFields(negative, 0, 0);
  const Wide x = Unpack(a), y = Unpack(b);
  // The quotient of the significands lies in (1/2, 2): its 64 bits and 64
  // more from two steps of long division, the remainder jammed into the last.
  Wide quotient;
  if (x.significand >= y.significand) {
    // x / y = 1 + (x - y) / y: the integer bit, then the fraction.
    const Wide first = DivideWide(x.significand - y.significand, 0, y.significand);
    const Wide second = DivideWide(first.extra, 0, y.significand);
    quotient = ShiftRightJam({first.significand, second.significand | (second.extra != 0), 0}, 1);
    quotient.significand |= SoftExtended::kIntegerBit;
    quotient.exponent = x.exponent - y.exponent + kBias;
  } else {
    const Wide first = DivideWide(x.significand, 0, y.significand);
    const Wide second = DivideWide(first.extra, 0, y.significand);
    quotient = {first.significand, second.significand | (second.extra != 0),
                x.exponent - y.exponent + kBias - 1};
  }
  return RoundAndPack(negative, quotient);
}

std::partial_ordering operator<=>(const SoftExtended& a, const SoftExtended& b) {
  if (a.IsNan() || b.IsNan()) return std::partial_ordering::unordered;
  if (a.IsZero() && b.IsZero()) return std::partial_ordering::equivalent;
  if (a.Negative() != b.Negative()) {
    return a.Negative() ? std::partial_ordering::less : std::partial_ordering::greater;
  }
  // Same sign: the fields order the magnitudes, denormals and infinities too.
  const auto magnitude = [](const SoftExtended& x) {
    return std::pair{x.BiasedExponent(), x.Significand()};
  };
  const std::partial_ordering order = magnitude(a) <=> magnitude(b);
  return a.Negative() ? 0 <=> order : order;
}

SoftExtended NearbyInt(const SoftExtended& x) {
  if (x.BiasedExponent() == SoftExtended::kMaxBiasedExponent) return x.IsNan() ? Quiet(x) : x;
  const int binary_exponent = x.BiasedExponent() - kBias;
  if (binary_exponent >= 63) return x;  // no fraction bits
  const SoftExtended zero = SoftExtended::FromFields(x.Negative(), 0, 0);
  if (binary_exponent < -1) return zero;  // below one half
  // The fraction bits fall into extra; round the whole part.
  Wide w = ShiftRightJam({x.Significand(), 0, 0}, 63 - binary_exponent);
  if (w.extra > kHalf || (w.extra == kHalf && (w.significand & 1) != 0)) ++w.significand;
  if (w.significand == 0) return zero;
  const SoftExtended whole(w.significand);  // at most 2^63: exact
  return x.Negative() ? -whole : whole;
}

namespace {

// 5^n as an exact big integer in little-endian base-2^32 digits, grown one
// table entry after the other (5^4608 has 10700 bits); each 10^n = 5^n * 2^n
// rounded to the extended format. Done at compile time, within the step
// limits of the compilers' constant evaluation.
class PowerOfFive {
 public:
  constexpr void RaiseTo(int n) {
    for (; n_ < n;) {
      const int step = n - n_ < 13 ? n - n_ : 13;  // 5^13 < 2^32
      U64 factor = 1;
      for (int i = 0; i < step; ++i) factor *= 5;
      U64 carry = 0;
      for (std::size_t i = 0; i < size_; ++i) {
        carry += limbs_[i] * factor;
        limbs_[i] = static_cast<std::uint32_t>(carry);
        carry >>= 32;
      }
      if (carry != 0) limbs_[size_++] = static_cast<std::uint32_t>(carry);
      n_ += step;
    }
  }

  constexpr SoftExtended TenToTheN() const {
    const int length = static_cast<int>(size_) * 32 - std::countl_zero(limbs_[size_ - 1]);
    // The top 64 bits as significand, the next 64 as extra, the rest jammed.
    Wide w{0, 0, kBias + n_ + length - 1};
    for (int i = 0; i < 128; ++i) {
      const U64 b = Bit(length - 1 - i);
      if (i < 64)
        w.significand |= b << (63 - i);
      else
        w.extra |= b << (127 - i);
    }
    if (const int last = length - 129; last >= 0) {  // bits 0..last
      const auto top = static_cast<std::size_t>(last / 32);
      const int count = last % 32 + 1;
      bool rest =
          (count == 32 ? limbs_[top] : limbs_[top] & ((std::uint32_t{1} << count) - 1)) != 0;
      for (std::size_t i = 0; i < top; ++i) rest = rest || limbs_[i] != 0;
      w.extra |= rest;
    }
    return RoundAndPack(false, w);
  }

 private:
  constexpr U64 Bit(int i) const {
    return i < 0 ? 0 : U64{limbs_[static_cast<std::size_t>(i / 32)] >> (i % 32) & 1};
  }

  std::array<std::uint32_t, 336> limbs_{1};
  std::size_t size_ = 1;
  int n_ = 0;
};

template <std::size_t kCount>
constexpr std::array<SoftExtended, kCount> PowersOfTen(int stride) {
  std::array<SoftExtended, kCount> table{};
  PowerOfFive five;
  for (std::size_t j = 0; j < kCount; ++j) {
    five.RaiseTo(static_cast<int>(j) * stride);
    table[j] = five.TenToTheN();
  }
  return table;
}

}  // namespace

constexpr std::array<SoftExtended, 32> kSoftSmallPowersOfTen = PowersOfTen<32>(1);
constexpr std::array<SoftExtended, 16> kSoftMediumPowersOfTen = PowersOfTen<16>(32);
constexpr std::array<SoftExtended, 10> kSoftLargePowersOfTen = PowersOfTen<10>(512);

}  // namespace orvalen
