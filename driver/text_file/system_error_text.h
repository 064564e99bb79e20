// The platform's text for an error number as the file failures quote it:
// trailing blanks, control characters and full stops removed.
#pragma once

#include <string>

namespace orvalen {

// "No such file or directory" for ENOENT.
std::string SystemErrorText(int error_number);

}  // namespace orvalen
