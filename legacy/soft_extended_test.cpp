// SoftExtended against the x87, bit for bit: random operands of the kinds the
// programs meet and on every rounding boundary, chosen cases, the constants
// against the compiler's literals, and the legacy number conversion rebuilt
// on the type against the production one. ORVALEN_SOFT_EXTENDED_OPERATIONS
// sets the random operations per operation (default 200000),
// ORVALEN_SOFT_EXTENDED_TEXTS the number texts (default 200000).
#include "legacy/soft_extended.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>

#include "legacy/extended_power_of_ten.h"
#include "legacy/legacy_build.h"
#include "tools/failure.h"
#include "tools/number_scan.h"

static_assert(LDBL_MANT_DIG == 64, "the reference is the x87's extended type");

namespace orvalen {
namespace {

using U64 = std::uint64_t;
constexpr U64 kTop = U64{1} << 63;

long double ToX87(const SoftExtended& x) {
  long double result = 0;
  std::memcpy(&result, x.Bytes().data(), 10);
  return result;
}
SoftExtended FromX87(long double x) {
  std::array<unsigned char, 10> bytes;
  std::memcpy(bytes.data(), &x, bytes.size());
  return SoftExtended::FromBytes(bytes);
}
std::string Show(const SoftExtended& x) {
  char text[32];
  std::snprintf(text, sizeof text, "%c%04x:%016llx", x.Negative() ? '-' : '+', x.BiasedExponent(),
                static_cast<unsigned long long>(x.Significand()));
  return text;
}
U64 Count(const char* variable, U64 fallback) {
  const char* set = std::getenv(variable);
  return set != nullptr ? std::strtoull(set, nullptr, 10) : fallback;
}

// What the compared results were, to show that the boundaries were met.
struct Kinds {
  U64 denormal = 0, zero = 0, infinite = 0, nan = 0;
} kinds;

// One operation on both sides: "" when the bits agree, else what differs.
// A double result is compared through its exact extended value.
std::string Compare(char op, const SoftExtended& a, const SoftExtended& b) {
  const long double x = ToX87(a), y = ToX87(b);
  const auto [soft, x87] = [&]() -> std::pair<SoftExtended, long double> {
    switch (op) {
      case '+':
        return {a + b, x + y};
      case '-':
        return {a - b, x - y};
      case '*':
        return {a * b, x * y};
      case '/':
        return {a / b, x / y};
      case 'd':
        return {a.ToDouble(), static_cast<double>(x)};
      case 'n':
        return {NearbyInt(a), std::nearbyint(x)};
      case 'a':
        return {Fabs(a), std::fabs(x)};
      default:
        return {-a, -x};
    }
  }();
  const SoftExtended reference = FromX87(x87);
  kinds.denormal += op == 'd' ? std::fpclassify(static_cast<double>(x87)) == FP_SUBNORMAL
                              : reference.BiasedExponent() == 0 && !reference.IsZero();
  kinds.zero += reference.IsZero();
  kinds.infinite += reference.IsInf();
  kinds.nan += reference.IsNan();
  if (soft.Bytes() == reference.Bytes()) return {};
  return std::string(1, op) + " " + Show(a) + " " + Show(b) + ": " + Show(soft) + " x87 " +
         Show(reference);
}

// Operands, drawn with a fixed seed.
class Operands {
 public:
  explicit Operands(U64 seed) : random_(seed) {}
  U64 Bits() { return random_(); }
  int Below(int n) { return static_cast<int>(random_() % static_cast<U64>(n)); }
  bool Chance(int one_in) { return Below(one_in) == 0; }

  // The bits below `place` (1..63) made a half of its unit, or one off it.
  U64 HalfTail(U64 sig, int place) {
    const U64 half = U64{1} << (place - 1);
    return (sig >> place << place) | ((half + static_cast<U64>(Below(3)) - 1) & (2 * half - 1));
  }
  // Significands that meet rounding boundaries: with trailing zeros (exact
  // products), a few bits, runs of ones (carries), a tail on a half.
  U64 Significand() {
    const U64 random = Bits() | kTop;
    switch (Below(5)) {
      case 0: {
        const int zeros = Below(64);
        return random >> zeros << zeros;
      }
      case 1:
        return kTop | U64{1} << Below(64) | U64{1} << Below(64);
      case 2:
        return ~U64{0} << Below(64) ^ (Chance(2) ? U64{1} << Below(63) : 0);
      case 3:
        return HalfTail(random, 1 + Below(63));
      default:
        return random;
    }
  }
  // The exponent field 0 makes a denormal, 0x7fff a special value.
  SoftExtended Make(bool negative, int field, U64 sig) {
    if (field <= 0) return SoftExtended::FromFields(negative, 0, (sig & ~kTop) >> Below(64));
    if (field < 0x7fff) return SoftExtended::FromFields(negative, std::uint16_t(field), sig | kTop);
    const U64 payload = Bits() | kTop;
    switch (Below(5)) {
      case 0:
        return SoftExtended::FromFields(negative, 0, 0);
      case 1:
        return SoftExtended::Infinity(negative);
      case 2:
        return SoftExtended::FromFields(negative, 0x7fff, payload | kTop >> 1);
      case 3:
        return SoftExtended::FromFields(negative, 0x7fff, (payload & ~(kTop >> 1)) | 1);
      default:
        return SoftExtended::FromFields(negative, 0x7ffe, ~U64{0});
    }
  }
  // The whole range, the numbers of part programs (1e-20..1e20), digit
  // accumulations up to 2^64 and beyond, both ends, the special values.
  SoftExtended Any() {
    const bool negative = Chance(2);
    switch (Below(7)) {
      case 0:
      case 1:
        return Make(negative, Below(0x7fff), Significand());
      case 2:
      case 3:
        return Make(negative, 16383 - 67 + Below(134), Significand());
      case 4: {  // acc * 10 + d
        const long double acc = static_cast<long double>(Bits() >> Below(64));
        const SoftExtended value = FromX87(acc * (Chance(2) ? 10.0L : 1e10L) + Below(10));
        return negative ? -value : value;
      }
      case 5:
        return Make(negative, Chance(2) ? Below(80) : 0x7ffe - Below(80), Significand());
      default:
        return Make(negative, 0x7fff, 0);
    }
  }
  // A second exponent field whose sum with or difference from `field` lands
  // near the denormals or the overflow.
  int Partner(int field, bool difference) {
    const int target = Chance(2) ? Below(140) - 70 : 0x7fff - 70 + Below(140);
    const int partner = difference ? field - target + 16383 : target - field + 16383;
    return partner < 0 ? 0 : partner > 0x7ffe ? 0x7ffe : partner;
  }

 private:
  std::mt19937_64 random_;
};

// Second operands on the boundaries of a sum: b shifted d places below a
// with its last d bits on or next to a half; b close to -a; a a power of two
// less a little (its tie lies half a place lower).
std::pair<SoftExtended, SoftExtended> SumOperands(Operands& g) {
  const SoftExtended a = g.Any();
  const int field = a.BiasedExponent();
  if (g.Chance(3) || field == 0x7fff) return {a, g.Any()};
  if (g.Chance(6)) {
    const U64 sig = g.Chance(2) ? kTop | g.Bits() >> (1 + g.Below(63)) : g.Significand();
    return {g.Make(a.Negative(), field, kTop), g.Make(!a.Negative(), field - 62 - g.Below(8), sig)};
  }
  if (g.Chance(4)) {
    const U64 sig = a.Significand() ^ (g.Bits() >> g.Below(64) >> 1);
    return {a, SoftExtended::FromFields(g.Chance(2), a.BiasedExponent(), sig)};
  }
  const int d = g.Chance(8) ? g.Below(200) : g.Below(70);
  const U64 sig = d > 0 && d < 64 ? g.HalfTail(g.Significand(), d) : g.Significand();
  return {a, g.Make(g.Chance(2), field - d, sig)};
}

std::pair<SoftExtended, SoftExtended> ProductOperands(Operands& g) {
  const SoftExtended a = g.Any();
  if (g.Chance(2) || a.BiasedExponent() == 0x7fff) return {a, g.Any()};
  return {a, g.Make(g.Chance(2), g.Partner(a.BiasedExponent(), false), g.Significand())};
}

// The nearest a quotient comes to a tie: a * 2^64 = (2^64 + t) * b + r with
// t odd and r = +-1, so that a / b lies r / b units of 2^-64 off the tie: t
// is -r / b modulo 2^64 (b odd), and b is drawn again until a fits 64 bits.
std::pair<SoftExtended, SoftExtended> QuotientOperands(Operands& g) {
  if (g.Chance(3)) return {g.Any(), g.Any()};
  for (;;) {
    const U64 b = g.Significand() | 1, r = g.Chance(2) ? 1 : ~U64{0};
    U64 inverse = b;  // Newton's iteration for 1 / b modulo 2^64
    for (int i = 0; i < 6; ++i) inverse *= 2 - b * inverse;
    const U64 t = U64{0} - r * inverse;
    // t * b + r = high * 2^64 exactly; high from the 32-bit halves.
    const U64 tl = t & 0xffffffff, th = t >> 32, bl = b & 0xffffffff, bh = b >> 32;
    const U64 middle = (tl * bl >> 32) + (th * bl & 0xffffffff) + (tl * bh & 0xffffffff);
    const U64 low = middle << 32 | (tl * bl & 0xffffffff);
    U64 high = th * bh + (th * bl >> 32) + (tl * bh >> 32) + (middle >> 32);
    high += r == 1 ? (low + 1 == 0) : (low == 0 ? ~U64{0} : 0);
    const U64 a = high + b;
    if (a < b) continue;
    const int field = 1 + g.Below(0x7ffe);
    return {g.Make(g.Chance(2), field, a), g.Make(g.Chance(2), g.Partner(field, true), b)};
  }
}

// Values on the boundaries of the rounding to a double: 11 or more bits
// dropped, on or next to a half, at the double's denormals and overflow.
SoftExtended DoubleBoundary(Operands& g) {
  if (g.Chance(3)) return g.Any();
  const int place = g.Chance(2) ? 11 : 11 + g.Below(53);
  const int exponent = place > 11 ? -1011 - place : g.Chance(2) ? 1023 : -1022 + g.Below(3) - 1;
  return g.Make(g.Chance(2), 16383 + exponent, g.HalfTail(g.Significand(), place));
}

// Values near whole numbers and halves.
SoftExtended WholeBoundary(Operands& g) {
  if (g.Chance(4)) return g.Any();
  const int exponent = g.Below(68) - 3;  // of the integer bit
  const int place = 63 - exponent;
  const U64 sig = place >= 1 && place <= 63 && g.Chance(2) ? g.HalfTail(g.Significand(), place)
                                                           : g.Significand();
  return g.Make(g.Chance(2), 16383 + exponent, sig);
}

// Runs `compare` on the configured count of operations and reports.
template <typename Compare>
void RunComparison(const char* name, U64 seed, Compare compare) {
  const U64 count = Count("ORVALEN_SOFT_EXTENDED_OPERATIONS", 200000);
  Operands g(seed);
  U64 mismatches = 0;
  std::string first;
  kinds = {};
  const auto start = std::chrono::steady_clock::now();
  for (U64 i = 0; i < count; ++i) {
    const std::string difference = compare(g);
    if (!difference.empty() && mismatches++ < 5) first += difference + "\n";
  }
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  const auto n = [](U64 value) { return static_cast<unsigned long long>(value); };
  std::printf(
      "%-14s %10llu operations %6llu mismatches %7.2f s; results denormal %llu, zero %llu, "
      "infinite %llu, NaN %llu\n",
      name, n(count), n(mismatches), seconds.count(), n(kinds.denormal), n(kinds.zero),
      n(kinds.infinite), n(kinds.nan));
  EXPECT_EQ(0u, mismatches) << name << ", the first:\n" << first;
}

template <typename Pairs>
auto Arithmetic(char op, Pairs pairs) {
  return [op, pairs](Operands& g) {
    const auto [a, b] = pairs(g);
    return Compare(op, a, b);
  };
}

TEST(SoftExtendedAgainstX87, Addition) {
  RunComparison("addition", 1, Arithmetic('+', SumOperands));
}
TEST(SoftExtendedAgainstX87, Subtraction) {
  RunComparison("subtraction", 2, Arithmetic('-', SumOperands));
}
TEST(SoftExtendedAgainstX87, Multiplication) {
  RunComparison("multiplication", 3, Arithmetic('*', ProductOperands));
}
TEST(SoftExtendedAgainstX87, Division) {
  RunComparison("division", 4, Arithmetic('/', QuotientOperands));
}

TEST(SoftExtendedAgainstX87, Comparisons) {
  RunComparison("comparison", 5, [](Operands& g) -> std::string {
    auto [a, b] = SumOperands(g);
    if (g.Chance(8)) b = g.Chance(2) ? a : -a;
    const long double x = ToX87(a), y = ToX87(b);
    const bool soft[] = {a == b, a != b, a<b, a <= b, a> b, a >= b};
    const bool x87[] = {x == y, x != y, x<y, x <= y, x> y, x >= y};
    return std::memcmp(soft, x87, sizeof soft) == 0 ? "" : "compare " + Show(a) + " " + Show(b);
  });
}

TEST(SoftExtendedAgainstX87, ConversionToDouble) {
  RunComparison("to double", 6, [](Operands& g) { return Compare('d', DoubleBoundary(g), {}); });
}

TEST(SoftExtendedAgainstX87, WholeNumbers) {
  RunComparison("whole number", 7, [](Operands& g) {
    const SoftExtended a = WholeBoundary(g);
    std::string difference = Compare('n', a, a);
    // The truncation, where the cast is defined.
    const long double x = ToX87(a);
    if (difference.empty() && std::fabs(x) < 0x1p63L &&
        a.ToInt64Truncated() != static_cast<std::int64_t>(x)) {
      difference = "truncation " + Show(a);
    }
    return difference;
  });
}

TEST(SoftExtendedAgainstX87, ExactConversionsSignAndMagnitude) {
  RunComparison("conversions", 8, [](Operands& g) {
    const U64 bits = g.Bits() >> g.Below(64);
    // A double of any kind (every bit pattern), or one of part programs.
    const double d = g.Chance(2) ? std::bit_cast<double>(g.Bits())
                                 : std::ldexp(static_cast<double>(bits | 1), g.Below(134) - 131);
    const auto i = static_cast<std::int64_t>(bits ^ (g.Chance(2) ? ~U64{0} : 0));
    const SoftExtended a = g.Any();
    std::string difference = Compare('a', a, a) + Compare('m', a, a);
    if (FromX87(d).Bytes() != SoftExtended(d).Bytes() ||
        FromX87(i).Bytes() != SoftExtended(i).Bytes() ||
        FromX87(bits).Bytes() != SoftExtended(bits).Bytes()) {
      difference += "from " + std::to_string(d) + " " + std::to_string(i);
    }
    return difference;
  });
}

// The cases the header explains, and the edges of each rule.
TEST(SoftExtendedAgainstX87, ChosenCases) {
  const auto value = [](bool negative, int exponent, U64 sig) {
    return SoftExtended::FromFields(negative, static_cast<std::uint16_t>(16383 + exponent), sig);
  };
  const SoftExtended one = 1, zero, inf = SoftExtended::Infinity(false);
  const SoftExtended nan = SoftExtended::DefaultNan(), snan = value(false, 16384, kTop | 5);
  const SoftExtended denormal_min = SoftExtended::FromFields(false, 0, 1);
  const SoftExtended denormal_max = SoftExtended::FromFields(false, 0, kTop - 1);
  const SoftExtended normal_min = value(false, -16382, kTop), largest = value(false, 16383, ~0ull);
  const SoftExtended all_ones = SoftExtended(~U64{0});
  const struct {
    char op;
    SoftExtended a, b;
  } cases[] = {
      {'+', one, value(false, -64, kTop)},                        // a tie: 1
      {'+', value(false, 0, kTop | 1), value(false, -64, kTop)},  // a tie, odd: up
      {'+', all_ones, 0.5},                                       // a carry into 2^64
      {'-', one, value(false, -65, kTop)},                        // below 1: a tie, to 1
      {'-', one, value(false, -65, kTop | 1)},                    // just beyond it
      {'-', one, one},                                            // +0
      {'+', -zero, -zero},                                        // -0
      {'+', -zero, zero},                                         // +0
      {'+', denormal_max, denormal_min},                          // into the normal range
      {'-', normal_min, denormal_min},                            // back to the denormals
      {'+', largest, value(false, 16383 - 64, kTop)},             // a tie at the top: overflow
      {'-', inf, inf},                                            // invalid
      {'+', nan, snan},                                           // the quiet NaN
      {'+', nan, -nan},                                           // equal payloads
      {'-', -snan, snan},
      {'*', normal_min, value(false, -64, kTop)},      // half the smallest denormal: 0
      {'*', normal_min, value(false, -64, kTop | 1)},  // just above: the smallest
      {'*', normal_min, value(false, -1, ~0ull)},      // up to the smallest normal
      {'*', largest, 2},                               // overflow
      {'*', -zero, inf},                               // invalid
      {'*', all_ones, all_ones},
      {'/', one, 3},
      {'/', -one, zero},                                     // -infinity
      {'/', zero, zero},                                     // invalid
      {'/', inf, inf},                                       // invalid
      {'/', denormal_min, largest},                          // underflow to 0
      {'/', largest, denormal_min},                          // overflow
      {'d', value(false, 0, kTop | U64{1} << 10), zero},     // 1 + 2^-53: a tie, to 1
      {'d', value(false, 1023, ~0ull), zero},                // overflow
      {'d', value(false, 1023, ~0ull << 11 | 0x3ff), zero},  // the largest double
      {'d', value(false, -1075, kTop), zero},                // half the smallest denormal: 0
      {'d', value(true, -1075, kTop | 1), zero},             // just above: -the smallest
      {'d', value(false, -1023, ~0ull), zero},               // up to the smallest normal
      {'d', snan, zero},
      {'n', 2.5, zero},
      {'n', -0.5, zero},                        // -0
      {'n', value(false, 62, kTop | 1), zero},  // 2^62 + 0.5
      {'n', value(false, 62, ~0ull), zero},     // up to 2^63
      {'n', snan, zero},
  };
  for (const auto& c : cases) EXPECT_EQ("", Compare(c.op, c.a, c.b));
  // Outside the 64-bit range the truncation gives the x87's integer indefinite.
  EXPECT_EQ(INT64_MIN, SoftExtended(0x1p63).ToInt64Truncated());
  EXPECT_EQ(INT64_MIN, nan.ToInt64Truncated());
  EXPECT_EQ(-(INT64_MAX - 1023), SoftExtended(-0x1p63 + 1024).ToInt64Truncated());
}

TEST(SoftExtendedConstants, AreTheCompilersLiterals) {
  constexpr long double kMedium[16] = {1e0L,   1e32L,  1e64L,  1e96L,  1e128L, 1e160L,
                                       1e192L, 1e224L, 1e256L, 1e288L, 1e320L, 1e352L,
                                       1e384L, 1e416L, 1e448L, 1e480L};
  constexpr long double kLarge[10] = {1e0L,    1e512L,  1e1024L, 1e1536L, 1e2048L,
                                      1e2560L, 1e3072L, 1e3584L, 1e4096L, 1e4608L};
  const auto same = [](const long double* literals, const auto& table) {
    for (std::size_t i = 0; i < table.size(); ++i) {
      EXPECT_EQ(Show(FromX87(literals[i])), Show(table[i])) << i;
    }
  };
  same(kSmallPowersOfTenExtended, kSoftSmallPowersOfTen);
  same(kMedium, kSoftMediumPowersOfTen);
  same(kLarge, kSoftLargePowersOfTen);
  EXPECT_EQ(Show(FromX87(1e17L)), Show(kSoftTenToThe17));
  EXPECT_EQ(Show(FromX87(0x1p63L)), Show(kSoftTwoToThe63));
}

// The legacy conversion of a number text and the addition of an offset,
// rebuilt on SoftExtended as the production code does them on the x87.
SoftExtended Checked(SoftExtended result) {
  if (IsNan(result)) RaiseInvalidOp();
  if (IsInf(result)) RaiseOverflow();
  return result;
}
SoftExtended CheckedDivide(SoftExtended a, SoftExtended b) {
  if (b == 0) a == 0 ? RaiseInvalidOp() : RaiseZeroDivide();
  return Checked(a / b);
}

SoftExtended SoftScale(SoftExtended value, std::int64_t power) {
  const std::int64_t n = power < 0 ? -power : power;
  if (n < 32) {
    return power < 0 ? CheckedDivide(value, kSoftSmallPowersOfTen[n])
                     : Checked(value * kSoftSmallPowersOfTen[n]);
  }
  if (value == 0) return value;
  const SoftExtended steps[] = {kSoftSmallPowersOfTen[n % 32], kSoftMediumPowersOfTen[n / 32 % 16]};
  std::int64_t large = n / 512;
  for (const SoftExtended& step : steps) {
    if (step == 1) continue;
    value = power > 0 ? Checked(value * step) : CheckedDivide(value, step);
  }
  if (power > 0) {
    if (large >= 10) RaiseOverflow();
    return large > 0 ? Checked(value * kSoftLargePowersOfTen[large]) : value;
  }
  for (; large >= 10 && value != 0; large -= 9)
    value = CheckedDivide(value, kSoftLargePowersOfTen[9]);
  if (large > 0 && value != 0) value = CheckedDivide(value, kSoftLargePowersOfTen[large]);
  return value;
}

NumberText SoftConvertNumberText(std::string_view text) {
  const auto step = [](SoftExtended accumulator, int code) {
    return Checked(Checked(accumulator * 10) + (code - '0'));
  };
  const NumberScan<char> scan = ScanNumberText(text);
  SoftExtended value =
      scan.whole_is_exact ? SoftExtended(scan.whole) : AccumulateDigits<SoftExtended>(scan, step);
  if (scan.error_position == 0) {
    const std::int64_t power = scan.exponent - std::int64_t(scan.decimal_digits.size());
    if (power != 0) value = SoftScale(value, power);
    if (scan.negative) value = -value;
  }
  return {CheckResult(value.ToDouble()), scan.error_position};
}

double SoftAddOffset(double value, double offset) {
  return CheckResult(Checked(SoftExtended(value) + offset).ToDouble());
}

// The bits of the value and of the value plus the offset and the error
// position, or the kind of the failure raised.
template <typename Convert, typename AddOffset>
std::string Outcome(std::string_view text, double offset, Convert convert, AddOffset add) {
  try {
    const NumberText number = convert(text);
    return std::to_string(std::bit_cast<U64>(number.value)) + " " +
           std::to_string(std::bit_cast<U64>(add(number.value, offset))) + " @" +
           std::to_string(number.error_position);
  } catch (const Failure& failure) {
    return failure.KindName();
  }
}

std::string RandomNumberText(Operands& g) {
  if (g.Chance(5)) {  // the digits of an extended value on or near a tie of two doubles
    const double d = std::ldexp(static_cast<double>(g.Bits() >> 11), g.Below(140) - 120);
    const long double tie = d + d * 0x1p-53L * (g.Chance(2) ? 1 : 1.0000001L);
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.*Lg", 17 + g.Below(24), tie);
    return printed;
  }
  std::string text = g.Chance(20) ? "  " : "";
  if (g.Chance(3)) text += g.Chance(2) ? '-' : '+';
  const auto digits = [&](int count) {  // random, or runs of 9s or 0s
    const char run = g.Chance(4) ? (g.Chance(2) ? '9' : '0') : 0;
    for (int i = 0; i < count; ++i)
      text += run != 0 && !g.Chance(8) ? run : char('0' + g.Below(10));
  };
  const int shape = g.Below(10);
  digits(shape < 6 ? g.Below(8) : shape < 9 ? g.Below(30) : g.Below(400));
  if (g.Chance(2)) {
    text += '.';
    digits(g.Chance(4) ? g.Below(40) : g.Below(8));
  }
  if (g.Chance(4)) {
    text += g.Chance(2) ? "E" : g.Chance(2) ? "e-" : "e+";
    text += std::to_string(g.Chance(4) ? g.Below(5200) : g.Below(40));
  }
  if (g.Chance(30)) text.insert(std::size_t(g.Below(int(text.size()) + 1)), "x");
  return text;
}

TEST(SoftExtendedAgainstX87, LegacyNumberConversionSweep) {
  const U64 count = Count("ORVALEN_SOFT_EXTENDED_TEXTS", 200000);
  Operands g(9);
  U64 mismatches = 0, failures = 0;
  std::string first;
  const auto start = std::chrono::steady_clock::now();
  for (U64 i = 0; i < count; ++i) {
    const std::string text = RandomNumberText(g);
    const int offset_kind = g.Below(8);
    const double offset =
        offset_kind == 0   ? 0.0
        : offset_kind == 1 ? (g.Chance(2) ? 1.7e308 : -1.7e308)
                           : std::ldexp(static_cast<double>(g.Bits() >> 11), g.Below(134) - 120) *
                                 (g.Chance(2) ? 1 : -1);
    const std::string x87 = Outcome(text, offset, LegacyConvertNumberText, LegacyBuild::AddOffset);
    const std::string soft = Outcome(text, offset, SoftConvertNumberText, SoftAddOffset);
    failures += x87[0] == 'E';
    if (x87 != soft && mismatches++ < 5) first += text + ": " + soft + " x87 " + x87 + "\n";
  }
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  std::printf("number texts   %10llu texts      %6llu mismatches %7.2f s; %llu raised a failure\n",
              static_cast<unsigned long long>(count), static_cast<unsigned long long>(mismatches),
              seconds.count(), static_cast<unsigned long long>(failures));
  EXPECT_EQ(0u, mismatches) << first;
}

}  // namespace
}  // namespace orvalen
