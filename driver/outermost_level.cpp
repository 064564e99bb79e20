#include "driver/outermost_level.h"

#include <dlfcn.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <exception>
#include <memory>
#include <new>

#include "driver/dialogs/console_interface.h"
#include "driver/fatal_report.h"
#include "tools/failure.h"
#include "tools/utf8.h"

namespace orvalen {
namespace {

// The report as text on the stack, for when the memory for the usual one is
// not to be had: the same text, with the executable's file name as bytes,
// cut to what the buffer holds. Allocates nothing.
std::string_view ReportOnTheStack(char (&buffer)[4096], const ReportStyle& style,
                                  std::string_view kind_name, std::u16string_view message,
                                  const void* code_address) noexcept {
  std::size_t used = 0;
  const auto put = [&](std::string_view bytes) {
    const std::size_t room = sizeof buffer - used;
    const std::size_t n = bytes.size() < room ? bytes.size() : room;
    std::memcpy(buffer + used, bytes.data(), n);
    used += n;
  };
  char own[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", own, sizeof own);
  std::string_view module =
      length > 0 ? std::string_view(own, static_cast<std::size_t>(length)) : std::string_view("?");
  module = module.substr(module.rfind('/') + 1);
  std::uint64_t offset = 0;
  Dl_info found{};
  if (code_address != nullptr && dladdr(code_address, &found) != 0 && found.dli_fbase != nullptr)
    offset = reinterpret_cast<std::uintptr_t>(code_address) -
             reinterpret_cast<std::uintptr_t>(found.dli_fbase);
  put("Exception ");
  put(kind_name);
  put(" in Modul ");
  put(module);
  put(" bei ");
  for (int digit = style.address_digits - 1; digit >= 0; --digit) {
    const unsigned nibble = digit < 16 ? (offset >> (4 * digit)) & 0xF : 0;
    put(std::string_view(&"0123456789ABCDEF"[nibble], 1));
  }
  put(".\r\n");
  for (std::size_t i = 0; i < message.size(); ++i) {
    char32_t c = message[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < message.size() && message[i + 1] >= 0xDC00 &&
        message[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (message[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    char bytes[4];
    std::size_t n = 0;
    if (c < 0x80) {
      bytes[n++] = static_cast<char>(c);
    } else if (c < 0x800) {
      bytes[n++] = static_cast<char>(0xC0 | (c >> 6));
      bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      bytes[n++] = static_cast<char>(0xE0 | (c >> 12));
      bytes[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      bytes[n++] = static_cast<char>(0xF0 | (c >> 18));
      bytes[n++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      bytes[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
    }
    put(std::string_view(bytes, n));
  }
  if (!message.empty() && message.back() != u'.') put(".");
  put("\r\n");
  return std::string_view(buffer, used);
}

// Shows the report where the run's dialogs are; when that fails (the memory
// for the text or the window is not to be had), on the console, allocating
// nothing.
int Report(UserInterface& ui, ConsoleInterface& console, const ReportStyle& style,
           std::string_view kind_name, std::u16string_view message,
           const void* code_address) noexcept {
  try {
    const CodeLocation where = LocateCode(code_address);
    const std::u16string text = ReportText(kind_name, style.file_name_text(where.module),
                                           where.offset, style.address_digits, message);
    ui.Show(WindowKind::kReport, kReportCaption, ToUtf8(text));
  } catch (...) {
    char buffer[4096];
    console.ShowReportWithoutMemory(
        kReportCaption, ReportOnTheStack(buffer, style, kind_name, message, code_address));
  }
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
    return Report(*report_to, console, style, failure.KindName(), failure.Message(),
                  failure.CodeAddress());
  } catch (const std::bad_alloc&) {
    return Report(*report_to, console, style, EOutOfMemory::kKindName, kOutOfMemoryMessage,
                  nullptr);
  } catch (const std::exception& other) {
    // Not raised by the program itself; reported all the same, never lost.
    std::u16string what;
    try {
      what = FromUtf8(other.what());
    } catch (...) {
    }
    return Report(*report_to, console, style, "Exception", what, nullptr);
  }
}

}  // namespace orvalen
