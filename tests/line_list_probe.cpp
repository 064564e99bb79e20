// line_list_probe current|legacy SOURCE TARGET: loads SOURCE into the line
// list of the chosen program and, when TARGET is given, saves it there. A
// failure prints its kind and message (UTF-8) and exits with status 1.
#include <cstdio>
#include <string>

#include "legacy/legacy_program_text_rules.h"
#include "reference/line_list.h"

namespace {

template <orvalen::BuildPolicy Build>
int Run(int argc, char** argv) {
  try {
    orvalen::LineList<Build> list;
    list.LoadFromFile(argv[2]);
    if (argc > 3) list.SaveToFile(argv[3]);
    std::printf("ok %d\n", list.Count());
    return 0;
  } catch (const orvalen::Failure& failure) {
    std::printf("%s\n", failure.what());
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  return std::string(argv[1]) == "legacy" ? Run<orvalen::LegacyBuild>(argc, argv)
                                          : Run<orvalen::CurrentBuild>(argc, argv);
}
