// Loading a part program and writing the result back over it, so that
// nothing another program does to the file in between is lost: a file that
// changes while it is read fails the load, and a file that was removed,
// replaced or changed after the load (while the question was open, say, or
// while the result was written) fails the save over it, with the file left
// as it is. The name is looked up once, at the load; the save goes to the
// entry found then. The test result beside the program never goes over the
// program itself.
#pragma once

#include <string>

#include "driver/file_access/file_stamp.h"
#include "driver/file_access/path_texts.h"
#include "driver/file_access/system_error_text.h"
#include "reference/line_list.h"
#include "tools/build_policy.h"
#include "tools/failure.h"

namespace orvalen {

// Loads the list from `path`; gives the file that was read, held.
template <BuildPolicy Build>
HeldFile LoadProgram(LineList<Build>& lines, const std::string& path) {
  HeldFile read;
  lines.LoadFromFile(path, &read);
  if (int difference = DifferenceFrom(read)) {
    if (difference == kChangedSinceRead) difference = kChangedWhileRead;
    Raise<EFOpenError>(
        ProgramTextRules<Build>::OpenFailureMessage(FullPath(path), SystemErrorText(difference)));
  }
  return read;
}

// Saves the list over the file it was loaded from, if that is still the file
// of `read`, unchanged.
template <BuildPolicy Build>
void SaveOverProgram(const LineList<Build>& lines, const std::string& path, const HeldFile& read) {
  lines.SaveToFile(path, SaveGuard{.replaces = &read, .content_of = &read});
}

// Saves the list to `path`, which must not lead to the program of `read`.
template <BuildPolicy Build>
void SaveBesideProgram(const LineList<Build>& lines, const std::string& path,
                       const HeldFile& read) {
  lines.SaveToFile(path, SaveGuard{.replaces = nullptr, .content_of = &read});
}

}  // namespace orvalen
