#include "driver/run_driver.h"

#include <string>

#include "driver/dialogs/application_title.h"
#include "driver/dialogs/user_dialogs.h"
#include "driver/existing_file.h"
#include "driver/file_access/path_texts.h"
#include "driver/information_options.h"
#include "driver/outermost_level.h"
#include "driver/program_paths.h"
#include "driver/rewrite/rewrite_program.h"
#include "driver/settings_file.h"
#include "tools/utf8.h"

namespace orvalen {
namespace {

constexpr std::string_view kUsage =
    R"(Usage: Orvalen PART-PROGRAM
       Orvalen --help | -h | --version

Moves every subroutine of a CNC part program (the lines from SUBBEGIN to
SUBEND) to its own zero point, given by its first rapid move, and shifts the
rapid move before each SUBCALL the other way, so that the machine still
reaches the same places. The file is replaced as a whole, never left half
written.

At the first subroutine it asks "Soll das Programm Optimiert Werden?" (shall
the program be optimised?): in a window where an X display can be opened,
otherwise on standard error, answered on standard input: an empty line, j or
y for yes, n for no; the end of the input counts as yes, but as no after an
answer that was not understood, and three such answers in a row count as no.

Test mode: with test=1 in section [common] of the settings file beside the
executable (/usr/bin/Orvalen.ini for /usr/bin/Orvalen; in the Debian package
a link to /etc/orvalen/Orvalen.ini) the result goes to the part program's
path with the extension .tax, and the part program stays as it is.

Exit status: 0 after every ordinary run (nothing to do and the answer No
included), 1 after the failure report.

A part program named like an option is given as ./--help.
The manual page: man Orvalen
)";

// Names are UTF-8 bytes.
std::u16string FileNameText(std::string_view bytes) {
  return FromUtf8(bytes);
}

int MainSequence(int argc, const char* const* argv, UserInterface& ui) {
  const std::string executable = ExecutablePath();
  UserDialogs<CurrentBuild> dialogs(
      ui, ToUtf8(ApplicationTitle(FileNameText(FileNameOf(executable)))), "Bestätigen");

  const std::string input_path = FirstArgument(argc, argv);
  if (input_path.empty()) {
    dialogs.ShowMessage(u"No Parameter given");
    return 0;
  }
  if (!NamesExistingFile(input_path)) {
    dialogs.ShowMessage(u"File (" + FromUtf8(input_path) + u") does not exists");
    return 0;
  }

  // Without a known executable path there is no settings file to read: a
  // relative ".ini" in the current folder would be somebody else's.
  std::int32_t test_flag = 0;
  if (!executable.empty()) {
    const SettingsFile<CurrentBuild> settings(ChangeFileExt(executable, ".ini"));
    test_flag = settings.ReadInteger(u"common", u"test", 0);
  }

  const PlannedProgram<CurrentBuild> planned = PlanProgram<CurrentBuild>(input_path);
  if (test_flag != 0) {
    RewriteProgram(planned, dialogs, ChangeFileExt(input_path, ".tax"), false);
  } else {
    RewriteProgram(planned, dialogs, input_path, true);
  }
  return 0;
}

}  // namespace

int RunDriver(int argc, const char* const* argv) {
  if (const auto status = AnswerInformationOption(argc, argv, "Orvalen", kUsage)) return *status;
  return RunInOutermostLevel(ReportStyle{16, &FileNameText},
                             [&](UserInterface& ui) { return MainSequence(argc, argv, ui); });
}

}  // namespace orvalen
