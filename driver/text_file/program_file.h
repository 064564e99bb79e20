// Loading a part program and writing the result back over it, so that
// nothing another program does to the file in between is lost: a file that
// changes while it is read fails the load, and a file that was removed,
// replaced or changed after the load (while the question was open, say)
// fails the save over it, with the file left as it is.
#pragma once

#include <optional>
#include <string>

#include "driver/text_file/file_stamp.h"
#include "driver/text_file/full_path.h"
#include "driver/text_file/line_list.h"
#include "tools/build_policy.h"
#include "tools/failure.h"

namespace orvalen {

inline constexpr char kChangedWhileRead[] = "Changed while it was read";
inline constexpr char kChangedSinceRead[] = "Changed since it was read";

// Loads the list from `path`; gives the stamp of the file that was read.
template <BuildPolicy Build>
std::optional<FileStamp> LoadProgram(LineList<Build>& lines, const std::string& path) {
  const std::optional<FileStamp> before = StampOf(path).stamp;
  lines.LoadFromFile(path);
  if (const auto difference = DifferenceFrom(path, before)) {
    Raise<EFOpenError>(LineListRules<Build>::OpenFailureMessage(
        FullPath(path), difference->empty() ? kChangedWhileRead : *difference));
  }
  return before;
}

// Saves the list over the file it was loaded from, if that is still the file
// of `read`.
template <BuildPolicy Build>
void SaveOverProgram(const LineList<Build>& lines, const std::string& path,
                     const std::optional<FileStamp>& read) {
  if (const auto difference = DifferenceFrom(path, read)) {
    Raise<EFCreateError>(LineListRules<Build>::CreateFailureMessage(
        FullPath(path), difference->empty() ? kChangedSinceRead : *difference));
  }
  lines.SaveToFile(path);
}

}  // namespace orvalen
