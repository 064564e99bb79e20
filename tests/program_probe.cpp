// program_probe current|legacy SOURCE [TARGET]: reads SOURCE as the chosen
// program's rewrite does (the plan's read). With TARGET the same as SOURCE
// it rewrites the program over itself, the question answered Yes, and
// prints "rewritten COUNT"; with another TARGET it saves SOURCE's bytes
// there as the rewrite saves beside a program. Else, or after the save
// beside, "ok LINES". A failure prints its kind and message (UTF-8) and
// exits with status 1.
#include <cstdio>
#include <string>

#include "driver/file_access/program_save.h"
#include "driver/file_access/read_at.h"
#include "driver/rewrite/rewrite_program.h"
#include "legacy/legacy_build.h"
#include "legacy/legacy_program_text_rules.h"
#include "tests/recording_dialogs.h"
#include "tools/current_build.h"

namespace {

template <orvalen::BuildPolicy Build>
int Run(int argc, char** argv) {
  try {
    const auto planned = orvalen::PlanProgram<Build>(argv[2]);
    if (argc > 3 && std::string(argv[3]) == argv[2]) {
      orvalen::RecordingDialogs<Build> dialogs({orvalen::kAnswerYes});
      std::printf("rewritten %d\n", orvalen::RewriteProgram(planned, dialogs, argv[3], true));
      return 0;
    }
    if (argc > 3) {
      std::string bytes(planned.layout.size, '\0');
      if (orvalen::ReadAt(planned.file.file.Get(), bytes.data(), bytes.size(), 0) !=
          static_cast<std::int64_t>(bytes.size()))
        return 2;
      orvalen::ProgramSave save;
      save.Begin(argv[3], orvalen::SaveGuard{.replaces = nullptr, .content_of = &planned.file},
                 false);
      save.Put(bytes.data(), bytes.size());
      save.Complete<orvalen::ProgramTextRules<Build>>(argv[3]);
    }
    std::printf("ok %lld\n", static_cast<long long>(planned.plan.lines));
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
