// The icons of the dialog windows, drawn as shapes rather than loaded from
// files: the question mark in a blue disc, the error cross in a red one.
#pragma once

namespace orvalen {

enum class DialogIcon { kNone, kQuestion, kError };

// Draws `icon` into the current FLTK drawing with its top left corner at
// (x, y), kDialogIconSize pixels square.
void DrawDialogIcon(DialogIcon icon, int x, int y);

}  // namespace orvalen
