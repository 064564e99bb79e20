// What a dialog window tells the window manager beyond what FLTK 1.3 says:
//   - its caption in WM_NAME, properly encoded: FLTK stores the UTF-8 bytes
//     there under the type STRING, which means Latin-1, so every program that
//     reads WM_NAME rather than _NET_WM_NAME (xprop, xdotool, older window
//     managers and task lists) would show "BestÃ¤tigen";
//   - that it is a dialog, which can be moved and closed but not resized,
//     minimised or maximised (FLTK leaves minimising allowed and the window
//     type unset).
#pragma once

#include <string>

class Fl_Window;

namespace orvalen {

// For a window that has just been shown.
void DescribeDialogWindow(Fl_Window& window, const std::string& caption);

}  // namespace orvalen
