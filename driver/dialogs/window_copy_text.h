// What Ctrl+C in a dialog window puts on the clipboard: the caption, the text
// and the button captions, each part between dividers of 27 minus signs, with
// CR LF line ends:
//   ---------------------------
//   Bestätigen
//   ---------------------------
//   Soll das Programm Optimiert Werden?
//   ---------------------------
//   Ja   Nein
//   ---------------------------
// Every button caption is followed by three blanks, without its "&".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvalen {

// A caption without its access-key marks: "&Ja" gives "Ja", "&&" gives "&".
std::string WithoutAccessMarks(std::string_view caption);

std::string DialogCopyText(std::string_view caption, std::string_view text,
                           const std::vector<std::string>& button_captions);

}  // namespace orvalen
