#include "driver/program_text/program_text_rules.h"

#include "tools/utf8.h"

namespace orvalen {
namespace {

std::u16string Decimal(std::int64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

// Paths are bytes; they are shown as UTF-8, a byte that is not becoming U+FFFD.
std::u16string ProgramTextRules<CurrentBuild>::OpenFailureMessage(std::string_view full_path,
                                                                  std::string_view error_text) {
  return u"Datei " + FromUtf8(full_path) + u" kann nicht geöffnet werden. " + FromUtf8(error_text);
}

std::u16string ProgramTextRules<CurrentBuild>::CreateFailureMessage(std::string_view full_path,
                                                                    std::string_view error_text) {
  return u"Datei \"" + FromUtf8(full_path) + u"\" kann nicht erstellt werden. " +
         FromUtf8(error_text);
}

std::u16string ProgramTextRules<CurrentBuild>::WriteFailureMessage() {
  return u"Stream-Schreibfehler";
}

std::u16string ProgramTextRules<CurrentBuild>::EncodingFailureMessage() {
  return u"Keine Zuordnung für Unicode-Zeichen in der Multibyte-Zielcodeseite vorhanden";
}

std::u16string ProgramTextRules<CurrentBuild>::ListIndexMessage(std::int64_t index) {
  return u"Listenindex außerhalb des gültigen Bereichs (" + Decimal(index) + u")";
}

}  // namespace orvalen
