#include "driver/outermost_level.h"

#include <signal.h>
#include <unistd.h>

#include <exception>
#include <memory>
#include <new>

#include "driver/dialogs/console_interface.h"
#include "driver/fatal_report.h"
#include "tools/failure.h"
#include "tools/utf8.h"

namespace orvalen {
namespace {

int Report(UserInterface& ui, const ReportStyle& style, std::string_view kind_name,
           std::u16string_view message, const void* code_address) {
  const CodeLocation where = LocateCode(code_address);
  const std::u16string text = ReportText(kind_name, style.file_name_text(where.module),
                                         where.offset, style.address_digits, message);
  ui.Show(WindowKind::kReport, kReportCaption, ToUtf8(text));
  return 1;
}

}  // namespace

int RunInOutermostLevel(const ReportStyle& style,
                        const std::function<int(UserInterface&)>& main_sequence) {
  // Without this, the first console write after the reader of standard error
  // has gone (a pipe into "head" or "grep -q") would end the process before
  // the answered question is acted on; the write fails instead, and the
  // console leaves that text unshown.
  signal(SIGPIPE, SIG_IGN);
  // Likewise a result bigger than the file size limit (ulimit -f): the write
  // fails with EFBIG, and the save removes its temporary file and ends in the
  // report, where the signal would end the process with neither.
  signal(SIGXFSZ, SIG_IGN);
  // The report needs dialogs of its own when opening the real ones fails;
  // this one allocates nothing.
  ConsoleInterface console(STDIN_FILENO, STDERR_FILENO, isatty(STDIN_FILENO) == 1);
  UserInterface* report_to = &console;
  std::unique_ptr<UserInterface> ui;
  try {
    ui = OpenUserInterface();
    report_to = ui.get();
    return main_sequence(*ui);
  } catch (const Failure& failure) {
    return Report(*report_to, style, failure.KindName(), failure.Message(), failure.CodeAddress());
  } catch (const std::bad_alloc&) {
    return Report(*report_to, style, EOutOfMemory::kKindName, kOutOfMemoryMessage, nullptr);
  } catch (const std::exception& other) {
    // Not raised by the program itself; reported all the same, never lost.
    return Report(*report_to, style, "Exception", FromUtf8(other.what()), nullptr);
  }
}

}  // namespace orvalen
