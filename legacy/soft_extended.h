// The legacy program's extended arithmetic in integer code: the x87's
// double-extended format and its rounding, for targets whose long double is
// not the x87's. Every result has the same 80 bits that the x87 gives with
// its precision control at 64 bits and round to nearest (the only mode the
// programs run in); no long double and no floating-point instruction is used.
//
// The format, as the x87 stores a register in 10 bytes (little-endian):
//   bits 0..63   significand, bit 63 the explicit integer bit
//   bits 64..78  biased exponent e (bias 16383)
//   bit  79      sign
//   e = 1..32766  normal:   significand * 2^(e - 16383 - 63), integer bit set
//   e = 0         denormal: significand * 2^(1 - 16383 - 63), integer bit clear
//                 (the zeros of both signs when the significand is 0)
//   e = 32767     infinity (significand 2^63) or NaN (any other significand
//                 with the integer bit set; bit 62 set for a quiet NaN)
// Encodings the x87 never produces (unnormals, pseudo-denormals, ...) are
// neither produced nor expected here.
//
// Rounding: each operation forms its exact result and rounds it once to 64
// significant bits, to the nearest value, ties to the even significand.
// Results below 2^-16382 are rounded on the denormal grid 2^-16445 (gradual
// underflow; a result that rounds up to 2^-16382 becomes normal); results
// that round beyond the largest finite value (2^16384 - 2^16320) become
// infinities. Worked examples (the tests check them against the x87):
//   1 + 2^-64            exact 1.00..0|1 (the 65th bit alone): a tie, the
//                        even neighbour 1 wins                     -> 1
//   (1 + 2^-63) + 2^-64  a tie again, but 1 + 2^-63 is odd         -> 1 + 2^-62
//   (2^64 - 1) + 0.5     a tie with an odd significand: rounding up carries
//                        into a new bit and bumps the exponent     -> 2^64
//   1 / 3                0xAAAAAAAAAAAAAAAA|AA..: above the half   -> 0xAAAAAAAAAAAAAAAB * 2^-65
//   10^28 = 2^28 * 5^28  5^28 needs 66 bits, 0x813F3978F8940984|01: below
//                        the half                                  -> 0x813F3978F8940984 * 2^30
//   2^-16382 * 2^-64     half the smallest denormal exactly: ties to even -> +0
//   double(1 + 2^-53)    a tie for the double's 53 bits           -> 1
//   NearbyInt(2.5)       ties to even                              -> 2
// Invalid operations (inf - inf, 0 * inf, 0 / 0, inf / inf) give the x87's
// default NaN (negative, significand 0xC000000000000000); an operation on a
// NaN gives that NaN made quiet; of two NaNs a quiet one before a signalling
// one, else the larger significand, else the positive one. Division of a
// nonzero number by zero gives an infinity.
// So a check for NaN and infinity after each operation sees overflow and
// invalid operations exactly as it does on the x87.
#pragma once

#include <array>
#include <compare>
#include <concepts>
#include <cstdint>

namespace orvalen {

class SoftExtended {
 public:
  static constexpr int kExponentBias = 16383;
  static constexpr std::uint16_t kMaxBiasedExponent = 0x7fff;  // infinities and NaNs
  static constexpr std::uint64_t kIntegerBit = std::uint64_t{1} << 63;
  static constexpr std::uint64_t kQuietBit = std::uint64_t{1} << 62;

  // +0.
  constexpr SoftExtended() = default;
  // Exact, as the x87 loads a double (a signalling NaN is made quiet).
  SoftExtended(double value);  // NOLINT: converts implicitly, as long double does
  // Exact for every 64-bit integer, as fild loads it; integer 0 is +0.
  template <std::integral Int>
  constexpr SoftExtended(Int value)  // NOLINT: converts implicitly, as long double does
      : SoftExtended(FromMagnitude(value < 0, Magnitude(value))) {}

  static constexpr SoftExtended FromFields(bool negative, std::uint16_t biased_exponent,
                                           std::uint64_t significand) {
    SoftExtended result;
    result.negative_ = negative;
    result.exponent_ = static_cast<std::uint16_t>(biased_exponent & kMaxBiasedExponent);
    result.significand_ = significand;
    return result;
  }
  // The 10 bytes of the x87's memory image.
  static SoftExtended FromBytes(const std::array<unsigned char, 10>& bytes);
  std::array<unsigned char, 10> Bytes() const;

  static constexpr SoftExtended Infinity(bool negative) {
    return FromFields(negative, kMaxBiasedExponent, kIntegerBit);
  }
  // What the x87 gives for an invalid operation ("real indefinite").
  static constexpr SoftExtended DefaultNan() {
    return FromFields(true, kMaxBiasedExponent, kIntegerBit | kQuietBit);
  }

  constexpr bool Negative() const { return negative_; }
  constexpr std::uint16_t BiasedExponent() const { return exponent_; }
  constexpr std::uint64_t Significand() const { return significand_; }

  constexpr bool IsNan() const {
    return exponent_ == kMaxBiasedExponent && significand_ != kIntegerBit;
  }
  constexpr bool IsInf() const {
    return exponent_ == kMaxBiasedExponent && significand_ == kIntegerBit;
  }
  constexpr bool IsZero() const { return exponent_ == 0 && significand_ == 0; }

  // Rounded to the nearest double, ties to even, with the double's denormals;
  // beyond its range an infinity. A NaN keeps its sign and the top of its
  // payload, made quiet (as fstp does).
  double ToDouble() const;
  explicit operator double() const { return ToDouble(); }
  // Toward zero, as a cast to std::int64_t does; a NaN or a value outside the
  // range gives the x87's integer indefinite, INT64_MIN.
  std::int64_t ToInt64Truncated() const;

  friend SoftExtended operator+(const SoftExtended& a, const SoftExtended& b);
  friend SoftExtended operator-(const SoftExtended& a, const SoftExtended& b);
  friend SoftExtended operator*(const SoftExtended& a, const SoftExtended& b);
  friend SoftExtended operator/(const SoftExtended& a, const SoftExtended& b);
  friend constexpr SoftExtended operator-(const SoftExtended& a) {
    return FromFields(!a.negative_, a.exponent_, a.significand_);
  }
  SoftExtended& operator+=(const SoftExtended& b) { return *this = *this + b; }
  SoftExtended& operator-=(const SoftExtended& b) { return *this = *this - b; }
  SoftExtended& operator*=(const SoftExtended& b) { return *this = *this * b; }
  SoftExtended& operator/=(const SoftExtended& b) { return *this = *this / b; }

  // IEEE comparisons: -0 == +0, and a NaN is unordered (every relation false
  // but !=).
  friend bool operator==(const SoftExtended& a, const SoftExtended& b) { return (a <=> b) == 0; }
  friend std::partial_ordering operator<=>(const SoftExtended& a, const SoftExtended& b);

 private:
  template <std::integral Int>
  static constexpr std::uint64_t Magnitude(Int value) {
    const auto bits = static_cast<std::uint64_t>(value);
    return value < 0 ? ~bits + 1 : bits;  // INT64_MIN gives 2^63
  }
  static constexpr SoftExtended FromMagnitude(bool negative, std::uint64_t magnitude) {
    if (magnitude == 0) return {};
    int shift = 0;
    while ((magnitude << shift & kIntegerBit) == 0) ++shift;
    return FromFields(negative, static_cast<std::uint16_t>(kExponentBias + 63 - shift),
                      magnitude << shift);
  }

  bool negative_ = false;
  std::uint16_t exponent_ = 0;
  std::uint64_t significand_ = 0;
};

constexpr bool IsNan(const SoftExtended& x) {
  return x.IsNan();
}
constexpr bool IsInf(const SoftExtended& x) {
  return x.IsInf();
}
constexpr SoftExtended Fabs(const SoftExtended& x) {
  return SoftExtended::FromFields(false, x.BiasedExponent(), x.Significand());
}
// The nearest whole number, ties to even, keeping the sign (NearbyInt(-0.25)
// is -0): nearbyint in round to nearest, frndint on the x87.
SoftExtended NearbyInt(const SoftExtended& x);
inline std::int64_t ToInt64Truncated(const SoftExtended& x) {
  return x.ToInt64Truncated();
}

// The constants of the legacy number rules, each the extended value nearest
// to the decimal literal, as the compiler rounds it: 10^0 .. 10^31 (exact up
// to 10^27), 10^(32 j) for j = 0..15, 10^(512 j) for j = 0..9, 10^17 and 2^63.
extern const std::array<SoftExtended, 32> kSoftSmallPowersOfTen;
extern const std::array<SoftExtended, 16> kSoftMediumPowersOfTen;
extern const std::array<SoftExtended, 10> kSoftLargePowersOfTen;
inline constexpr SoftExtended kSoftTenToThe17 =
    SoftExtended(std::uint64_t{100'000'000'000'000'000});
inline constexpr SoftExtended kSoftTwoToThe63 = SoftExtended(std::uint64_t{1} << 63);

}  // namespace orvalen
