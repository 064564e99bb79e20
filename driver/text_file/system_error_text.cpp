#include "driver/text_file/system_error_text.h"

#include <cstring>

namespace orvalen {

std::string SystemErrorText(int error_number) {
  std::string text = std::strerror(error_number);
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 32 || text.back() == '.'))
    text.pop_back();
  return text;
}

}  // namespace orvalen
