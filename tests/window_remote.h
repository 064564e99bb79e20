// Works the windows on the test display as a person would: finds a window by
// its caption, gives it the focus and types keys (xdotool), asks it to close
// as a window manager's close box does (WM_DELETE_WINDOW), and reads the
// clipboard (xclip).
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace orvalen::testing {

struct ToolResult {
  int exit_status = -1;  // -1 when it did not end normally or in time
  std::string output;    // standard output
};

// Runs a tool found on PATH; it is killed after 10 seconds.
ToolResult RunTool(const std::vector<std::string>& words);

// The id of the shown window whose caption is exactly `caption`, looked for
// every 10 ms; "" when none shows up within `timeout`.
std::string WaitForWindow(const std::string& caption,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Whether such a window is shown now.
bool WindowShown(const std::string& caption);

// Focuses the window, then types the keys one after the other ("Return",
// "alt+j", "shift+Tab").
void PressKeys(const std::string& window, const std::vector<std::string>& keys);

// Sends the window the close request of the close box.
void RequestClose(const std::string& window);

struct WindowGeometry {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};
WindowGeometry GeometryOf(const std::string& window);

// What the window asks of a window manager.
struct WindowHints {
  bool fixed_size = false;    // its smallest and largest size are its size
  bool dialog_type = false;   // _NET_WM_WINDOW_TYPE_DIALOG
  long motif_functions = -1;  // the functions of _MOTIF_WM_HINTS, -1 without
};
WindowHints HintsOf(const std::string& window);

// The clipboard's text once it holds any, "" when it stays empty for
// `timeout`.
std::string WaitForClipboard(std::chrono::milliseconds timeout = std::chrono::seconds(5));

}  // namespace orvalen::testing
