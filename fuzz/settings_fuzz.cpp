// The settings file on arbitrary contents, and its integer rule on arbitrary
// texts: a value read back from its own decimal text is the same value.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "driver/integer_text.h"
#include "driver/settings_file.h"
#include "fuzz/fuzz_support.h"
#include "legacy/legacy_build.h"
#include "tools/current_build.h"

namespace orvalen::fuzz {
namespace {

template <class Char>
void IntegerRule(std::basic_string_view<Char> text) {
  const auto value = ParseIntegerText(text);
  if (!value) return;
  const std::string decimal = std::to_string(*value);
  const std::basic_string<Char> wide(decimal.begin(), decimal.end());
  if (ParseIntegerText(std::basic_string_view<Char>(wide)) != value) std::abort();
}

template <BuildPolicy Build>
void Settings(const std::string& path) {
  const SettingsFile<Build> settings(path);
  const auto common = Widen<typename Build::Char>("common");
  const auto test = Widen<typename Build::Char>("test");
  const auto text = settings.ReadString(common, test, {});
  if (text.size() > kSettingsValueLimit) std::abort();
  settings.ReadInteger(common, test, 0);
}

}  // namespace
}  // namespace orvalen::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  orvalen::fuzz::IntegerRule(bytes);
  std::u16string units;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    units += static_cast<char16_t>(data[i] << 8 | data[i + 1]);
  orvalen::fuzz::IntegerRule(std::u16string_view(units));
  const orvalen::fuzz::MemoryFile file(bytes);
  orvalen::fuzz::Settings<orvalen::CurrentBuild>(file.Path());
  orvalen::fuzz::Settings<orvalen::LegacyBuild>(file.Path());
  return 0;
}
