// Cost of the two primitives every coordinate goes through: the number-text
// conversion and the fixed-point formatting, in both programs.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "legacy/legacy_fixed_format.h"
#include "legacy/legacy_number_text.h"
#include "tools/fixed_format.h"
#include "tools/number_text.h"

namespace {

// Coordinates as they stand in real part programs.
const std::vector<std::string>& Texts() {
  static const std::vector<std::string> texts = {
      "12.5", "-0.75", "1234.567", "-99999", "0", "250.0001", "-3.2", "45", "600.125", "-12.45"};
  return texts;
}

const std::vector<double>& Values() {
  static const std::vector<double> values = {12.5,     -0.75, 1234.567, -99999.0, 0.0,
                                             250.0001, -3.2,  45.0,     600.125,  -12.45};
  return values;
}

void BM_ConvertNumberText(benchmark::State& state) {
  std::vector<std::u16string> texts;
  for (const std::string& t : Texts()) texts.emplace_back(t.begin(), t.end());
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(orvalen::ConvertNumberText(std::u16string_view(texts[i])));
    i = (i + 1) % texts.size();
  }
}
BENCHMARK(BM_ConvertNumberText);

void BM_LegacyConvertNumberText(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(orvalen::LegacyConvertNumberText(Texts()[i]));
    i = (i + 1) % Texts().size();
  }
}
BENCHMARK(BM_LegacyConvertNumberText);

void BM_FormatFixedPoint(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(orvalen::FormatFixedPoint(Values()[i]));
    i = (i + 1) % Values().size();
  }
}
BENCHMARK(BM_FormatFixedPoint);

void BM_LegacyFormatFixedPoint(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(orvalen::LegacyFormatFixedPoint(Values()[i]));
    i = (i + 1) % Values().size();
  }
}
BENCHMARK(BM_LegacyFormatFixedPoint);

}  // namespace
