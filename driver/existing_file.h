// Whether the input path names an existing file that is not a folder, the
// check the run driver makes before it reads anything.
//   - A name holding "*" or "?" is no file.
//   - A symbolic link passes only when it leads to a file that is not a
//     folder and may be read (asked without opening it); a dangling link fails.
//     A link of another user than this one or root passes unfollowed: the
//     load refuses it.
//   - Any other entry passes when it is not a folder.
//   - A missing entry fails. When the entry cannot be queried for another
//     reason (a folder on the way without search permission), its folder is
//     listed and the entry passes when it is there and is not a folder.
#pragma once

#include <string>

namespace orvalen {

bool NamesExistingFile(const std::string& path);

}  // namespace orvalen
