#include "legacy/legacy_run_driver.h"

#include <string>

#include "driver/dialogs/application_title.h"
#include "driver/dialogs/user_dialogs.h"
#include "driver/outermost_level.h"
#include "driver/program_paths.h"
#include "driver/settings_file.h"
#include "driver/text_file/full_path.h"
#include "driver/text_file/line_list.h"
#include "driver/text_file/program_file.h"
#include "legacy/legacy_build.h"
#include "legacy/legacy_line_list_rules.h"
#include "nc/optimize_subroutines.h"
#include "tools/utf8.h"

namespace orvalen {
namespace {

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

  LineList<LegacyBuild> lines;
  const std::optional<FileStamp> read = LoadProgram(lines, input_path);
  if (OptimizeSubroutines<LegacyBuild>(lines, dialogs) > 0)
    SaveOverProgram(lines, input_path, read);
  return 0;
}

}  // namespace

int LegacyRunDriver(int argc, const char* const* argv, UserInterface& ui) {
  return RunInOutermostLevel(ui, ReportStyle{8, &FileNameText},
                             [&] { return MainSequence(argc, argv, ui); });
}

}  // namespace orvalen
