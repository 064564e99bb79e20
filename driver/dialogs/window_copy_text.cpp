#include "driver/dialogs/window_copy_text.h"

namespace orvalen {

std::string WithoutAccessMarks(std::string_view caption) {
  std::string plain;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    plain.push_back(caption[i]);
  }
  return plain;
}

std::string DialogCopyText(std::string_view caption, std::string_view text,
                           const std::vector<std::string>& button_captions) {
  const std::string divider = "---------------------------\r\n";
  std::string copy = divider;
  copy.append(caption).append("\r\n").append(divider);
  copy.append(text).append("\r\n").append(divider);
  for (const std::string& button : button_captions) copy.append(WithoutAccessMarks(button) + "   ");
  copy.append("\r\n").append(divider);
  return copy;
}

}  // namespace orvalen
