#include "driver/file_access/system_error_text.h"

#include <cstring>

namespace orvalen {

std::string SystemErrorText(int error_number) {
  switch (error_number) {
    case kIsNamedPipe:
      return "Is a named pipe";
    case kIsSocket:
      return "Is a socket";
    case kIsCharacterDevice:
      return "Is a character device";
    case kIsBlockDevice:
      return "Is a block device";
    case kLinkOfAnotherUser:
      return "Symbolic link owned by another user";
    case kIsThePartProgram:
      return "Is the part program itself";
    case kChangedSinceRead:
      return "Changed since it was read";
    case kChangedWhileRead:
      return "Changed while it was read";
    default:
      break;
  }
  std::string text = std::strerror(error_number);
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 32 || text.back() == '.'))
    text.pop_back();
  return text;
}

}  // namespace orvalen
