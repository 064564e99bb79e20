// The report of a failure that ends a run: where it was raised (the module,
// and the offset of the code address in it), the report text
//   "Exception %s in Modul %s bei %p.\r\n%s%s\r\n"
// with the kind name, the module's file name, the offset in upper-case hex
// digits (16, or 8 in the legacy program), the message and a full stop when
// the message does not end with one; cut to 1023 characters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvalen {

inline constexpr std::size_t kReportTextLimit = 1023;
inline constexpr char kReportCaption[] = "Anwendungsfehler";

// The module that holds a code address: its file name (bytes, without the
// folder) and the address's offset from the module's start. An address that
// lies in no module, 0 included, is given to the program's own executable
// with the offset address - 4096 (0 for 0).
struct CodeLocation {
  std::string module;
  std::uint64_t offset = 0;
};
CodeLocation LocateCode(const void* address);

std::u16string ReportText(std::string_view kind_name, std::u16string_view module,
                          std::uint64_t offset, int address_digits, std::u16string_view message);

}  // namespace orvalen
