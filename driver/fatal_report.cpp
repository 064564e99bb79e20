#include "driver/fatal_report.h"

#include <dlfcn.h>

#include "driver/file_access/path_texts.h"
#include "driver/program_paths.h"

namespace orvalen {
namespace {

// A function of the executable itself: its module is the program's own.
void OwnCode() {}

std::string OwnFileName() {
  return std::string(FileNameOf(ExecutablePath()));
}

}  // namespace

CodeLocation LocateCode(const void* address) {
  Dl_info found{};
  if (address != nullptr && dladdr(address, &found) != 0 && found.dli_fbase != nullptr) {
    const auto offset = reinterpret_cast<std::uintptr_t>(address) -
                        reinterpret_cast<std::uintptr_t>(found.dli_fbase);
    // The loader names the executable by the name it was started with, which
    // need not be its file's; the file itself says its name.
    Dl_info own{};
    if (dladdr(reinterpret_cast<const void*>(&OwnCode), &own) != 0 &&
        own.dli_fbase == found.dli_fbase) {
      return {OwnFileName(), offset};
    }
    if (found.dli_fname != nullptr && found.dli_fname[0] != '\0') {
      return {std::string(FileNameOf(found.dli_fname)), offset};
    }
  }
  const auto value = reinterpret_cast<std::uintptr_t>(address);
  return {OwnFileName(), value == 0 ? 0 : value - 4096};
}

std::u16string ReportText(std::string_view kind_name, std::u16string_view module,
                          std::uint64_t offset, int address_digits, std::u16string_view message) {
  std::u16string text = u"Exception ";
  text.append(kind_name.begin(), kind_name.end());
  text += u" in Modul ";
  text += module;
  text += u" bei ";
  for (int digit = address_digits - 1; digit >= 0; --digit) {
    const unsigned nibble = digit < 16 ? (offset >> (4 * digit)) & 0xF : 0;
    text += u"0123456789ABCDEF"[nibble];
  }
  text += u".\r\n";
  text += message;
  if (!message.empty() && message.back() != u'.') text += u'.';
  text += u"\r\n";
  if (text.size() > kReportTextLimit) text.resize(kReportTextLimit);
  return text;
}

}  // namespace orvalen
