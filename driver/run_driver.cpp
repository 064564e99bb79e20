#include "driver/run_driver.h"

#include <string>

#include "driver/dialogs/application_title.h"
#include "driver/dialogs/user_dialogs.h"
#include "driver/existing_file.h"
#include "driver/outermost_level.h"
#include "driver/program_paths.h"
#include "driver/settings_file.h"
#include "driver/text_file/full_path.h"
#include "driver/text_file/line_list.h"
#include "driver/text_file/program_file.h"
#include "nc/optimize_subroutines.h"
#include "tools/utf8.h"

namespace orvalen {
namespace {

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

  LineList<CurrentBuild> lines;
  const std::optional<FileStamp> read = LoadProgram(lines, input_path);
  const std::int32_t count = OptimizeSubroutines<CurrentBuild>(lines, dialogs);
  if (count > 0) {
    if (test_flag != 0) {
      lines.SaveToFile(ChangeFileExt(input_path, ".tax"));
    } else {
      SaveOverProgram(lines, input_path, read);
    }
  }
  return 0;
}

}  // namespace

int RunDriver(int argc, const char* const* argv, UserInterface& ui) {
  return RunInOutermostLevel(ui, ReportStyle{16, &FileNameText},
                             [&] { return MainSequence(argc, argv, ui); });
}

}  // namespace orvalen
