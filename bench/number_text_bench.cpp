// Cost of the two primitives every coordinate goes through: the number-text
// conversion and the fixed-point formatting, in both programs, each timed
// beside its reference (the string-based version first written) in the same
// run. After the usual table the program prints the ratios reference / new,
// from the medians when the run has repetitions (--benchmark_repetitions=3).
// Targets: formatting at least 3.5 times, conversion at least 1.2 times as
// fast as the reference, in both programs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "legacy/legacy_fixed_format.h"
#include "legacy/legacy_number_text.h"
#include "legacy/number_reference/legacy_fixed_format_reference.h"
#include "legacy/number_reference/legacy_number_text_reference.h"
#include "tools/fixed_format.h"
#include "tools/number_reference/fixed_format_reference.h"
#include "tools/number_reference/number_text_reference.h"
#include "tools/number_text.h"

namespace orvalen {
namespace {

// Coordinates as they stand in real part programs.
const std::vector<std::string> kTexts = {"12.5",     "-0.75", "1234.567", "-99999",  "0",
                                         "250.0001", "-3.2",  "45",       "600.125", "-12.45"};
const std::vector<double> kValues = {12.5,     -0.75, 1234.567, -99999.0, 0.0,
                                     250.0001, -3.2,  45.0,     600.125,  -12.45};

template <typename Text, typename Convert>
void TimeConversion(benchmark::State& state, const std::vector<Text>& texts, Convert convert) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(convert(texts[i]));
    i = i + 1 == texts.size() ? 0 : i + 1;
  }
}

template <typename Format>
void TimeFormatting(benchmark::State& state, Format format) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(format(kValues[i]));
    i = i + 1 == kValues.size() ? 0 : i + 1;
  }
}

// Writing into a buffer, as the pass does it.
template <typename Write>
void TimeWriting(benchmark::State& state, Write write) {
  std::size_t i = 0;
  char buffer[kFixedPointCapacity];
  for (auto _ : state) {
    benchmark::DoNotOptimize(write(kValues[i], ExponentForm::kAllowed, FixedPointChars(buffer)));
    benchmark::ClobberMemory();
    i = i + 1 == kValues.size() ? 0 : i + 1;
  }
}

void RegisterAll() {
  static std::vector<std::u16string> wide;
  for (const std::string& t : kTexts) wide.emplace_back(t.begin(), t.end());
  const auto current_reference = [](const std::u16string& t) {
    return reference::ConvertNumberText(std::u16string_view(t));
  };
  const auto current = [](const std::u16string& t) {
    return ConvertNumberText(std::u16string_view(t));
  };
  const auto legacy_reference = [](const std::string& t) {
    return reference::LegacyConvertNumberText(t);
  };
  const auto legacy = [](const std::string& t) { return LegacyConvertNumberText(t); };
  benchmark::RegisterBenchmark("Convert/current/reference", [=](benchmark::State& s) {
    TimeConversion(s, wide, current_reference);
  });
  benchmark::RegisterBenchmark("Convert/current/new",
                               [=](benchmark::State& s) { TimeConversion(s, wide, current); });
  benchmark::RegisterBenchmark("Convert/legacy/reference", [=](benchmark::State& s) {
    TimeConversion(s, kTexts, legacy_reference);
  });
  benchmark::RegisterBenchmark("Convert/legacy/new",
                               [=](benchmark::State& s) { TimeConversion(s, kTexts, legacy); });

  benchmark::RegisterBenchmark("Format/current/reference", [](benchmark::State& s) {
    TimeFormatting(s, [](double v) { return reference::FormatFixedPoint(v); });
  });
  benchmark::RegisterBenchmark("Format/current/new", [](benchmark::State& s) {
    TimeFormatting(s, [](double v) { return FormatFixedPoint(v); });
  });
  benchmark::RegisterBenchmark("Format/current/new_into_buffer",
                               [](benchmark::State& s) { TimeWriting(s, WriteFixedPoint); });
  benchmark::RegisterBenchmark("Format/legacy/reference", [](benchmark::State& s) {
    TimeFormatting(s, [](double v) { return reference::LegacyFormatFixedPoint(v); });
  });
  benchmark::RegisterBenchmark("Format/legacy/new", [](benchmark::State& s) {
    TimeFormatting(s, [](double v) { return LegacyFormatFixedPoint(v); });
  });
  benchmark::RegisterBenchmark("Format/legacy/new_into_buffer",
                               [](benchmark::State& s) { TimeWriting(s, LegacyWriteFixedPoint); });
}

// The console table as usual, and each benchmark's CPU time per iteration
// kept: the median where there are repetitions, else the single run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (median || (run.run_type == Run::RT_Iteration && run.repetitions <= 1))
        cpu_ns_[run.run_name.function_name] = run.GetAdjustedCPUTime();
    }
  }

  void PrintRatios() const {
    std::printf("\nreference / new (CPU time per call; the median when repeated)\n");
    for (const auto& [name, reference_ns] : cpu_ns_) {
      const std::size_t cut = name.rfind("/reference");
      if (cut == std::string::npos) continue;
      const std::string family = name.substr(0, cut);
      for (const char* variant : {"/new", "/new_into_buffer"}) {
        const auto found = cpu_ns_.find(family + variant);
        if (found == cpu_ns_.end()) continue;
        std::printf("  %-32s %8.2f ns -> %8.2f ns   x %.2f\n", (family + variant).c_str(),
                    reference_ns, found->second, reference_ns / found->second);
      }
    }
  }

 private:
  std::map<std::string, double> cpu_ns_;
};

}  // namespace
}  // namespace orvalen

int main(int argc, char** argv) {
  // Repetitions of reference and new code interleave by default, so that a
  // change in the load of the machine falls on both alike.
  std::vector<char*> arguments(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  arguments.insert(arguments.begin() + 1, interleave);
  argc = static_cast<int>(arguments.size());
  argv = arguments.data();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  orvalen::RegisterAll();
  orvalen::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
