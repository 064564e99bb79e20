#include "driver/outermost_level.h"

#include <exception>
#include <new>

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

int RunInOutermostLevel(UserInterface& ui, const ReportStyle& style,
                        const std::function<int()>& main_sequence) {
  try {
    return main_sequence();
  } catch (const Failure& failure) {
    return Report(ui, style, failure.KindName(), failure.Message(), failure.CodeAddress());
  } catch (const std::bad_alloc&) {
    return Report(ui, style, EOutOfMemory::kKindName, kOutOfMemoryMessage, nullptr);
  } catch (const std::exception& other) {
    // Not raised by the program itself; reported all the same, never lost.
    return Report(ui, style, "Exception", FromUtf8(other.what()), nullptr);
  }
}

}  // namespace orvalen
