// The application title, the caption of every message window: the file name
// of the running executable without its folder, cut before its first dot,
// every character after the first in lower case. "Orvalen" gives Orvalen,
// "ORVALEN.EXE" Orvalen, "Nc.Tool" Nc, "OrvalenLegacy" Orvalenlegacy.
#pragma once

#include <string>
#include <string_view>

namespace orvalen {

std::u16string ApplicationTitle(std::u16string_view file_name);

}  // namespace orvalen
