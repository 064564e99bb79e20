#include "legacy/legacy_run_driver.h"

#include <string>

#include "driver/dialogs/application_title.h"
#include "driver/dialogs/user_dialogs.h"
#include "driver/file_access/path_texts.h"
#include "driver/information_options.h"
#include "driver/outermost_level.h"
#include "driver/program_paths.h"
#include "driver/rewrite/rewrite_program.h"
#include "driver/settings_file.h"
#include "legacy/legacy_build.h"
#include "legacy/legacy_program_text_rules.h"
#include "tools/utf8.h"

namespace orvalen {
namespace {

constexpr std::string_view kUsage =
    R"(Usage: OrvalenLegacy PART-PROGRAM
       OrvalenLegacy --help | -h | --version

The older program of Orvalen, on single-byte text: moves every subroutine of
a CNC part program (the lines from SUBBEGIN to SUBEND) to its own zero point,
given by its first rapid move, and shifts the rapid move before each SUBCALL
the other way, so that the machine still reaches the same places.

At the first subroutine it asks "Soll das Programm Optimiert Werden?" (shall
the program be optimised?): in a window where an X display can be opened,
otherwise on standard error, answered on standard input: an empty line, j or
y for yes, n for no; the end of the input counts as yes, but as no after an
answer that was not understood, and three such answers in a row count as no.

It has no test mode: the result always goes over the part program, which is
replaced as a whole, never left half written.

Exit status: 0 after every ordinary run (nothing to do and the answer No
included), 1 after the failure report.

A part program named like an option is given as ./--help.
The manual page: man OrvalenLegacy
)";

// Names are single-byte text in the system code page.
std::u16string FileNameText(std::string_view bytes) {
  return DecodeCp1252(bytes);
}

int MainSequence(int argc, const char* const* argv, UserInterface& ui) {
  const std::string executable = ExecutablePath();
  UserDialogs<LegacyBuild> dialogs(
      ui, ToUtf8(ApplicationTitle(FileNameText(FileNameOf(executable)))), "Bestätigung");

  const std::string input_path = FirstArgument(argc, argv);
  if (input_path.empty()) {
    dialogs.ShowMessage("File (" + input_path + ") does not exists");
    return 0;
  }

  if (!executable.empty()) {
    const SettingsFile<LegacyBuild> settings(ChangeFileExt(executable, ".ini"));
    settings.ReadInteger("common", "test", 0);
  }

  const PlannedProgram<LegacyBuild> planned = PlanProgram<LegacyBuild>(input_path);
  RewriteProgram(planned, dialogs, input_path, true);
  return 0;
}

}  // namespace

int LegacyRunDriver(int argc, const char* const* argv) {
  if (const auto status = AnswerInformationOption(argc, argv, "OrvalenLegacy", kUsage))
    return *status;
  return RunInOutermostLevel(ReportStyle{8, &FileNameText},
                             [&](UserInterface& ui) { return MainSequence(argc, argv, ui); });
}

}  // namespace orvalen
