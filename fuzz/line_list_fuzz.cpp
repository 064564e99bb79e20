// Loads arbitrary bytes as a part program in both programs, saves the list and
// loads the saved file again: the second load must give the same lines.
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "legacy/legacy_program_text_rules.h"
#include "reference/line_list.h"
#include "tools/failure.h"

namespace orvalen::fuzz {
namespace {

template <BuildPolicy Build>
void RoundTrip(std::string_view bytes) {
  const MemoryFile file(bytes);
  LineList<Build> lines;
  try {
    lines.LoadFromFile(file.Path());
  } catch (const EEncodingError&) {
    return;  // ill-formed UTF-8 after a mark: refused on purpose
  }
  if (static_cast<std::uint64_t>(lines.Count()) > bytes.size() + 1) std::abort();
  const std::string saved = SaveFolder() + "/saved.nc";
  lines.SaveToFile(saved);
  LineList<Build> again;
  again.LoadFromFile(saved);
  if (again.Count() != lines.Count()) std::abort();
  for (std::int32_t i = 0; i < lines.Count(); ++i) {
    if (again.Strings(i) != lines.Strings(i)) std::abort();
  }
}

}  // namespace
}  // namespace orvalen::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  orvalen::fuzz::RoundTrip<orvalen::CurrentBuild>(bytes);
  orvalen::fuzz::RoundTrip<orvalen::LegacyBuild>(bytes);
  return 0;
}
