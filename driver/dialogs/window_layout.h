// The layout of a dialog window, worked out without drawing anything: the
// text is broken into lines no wider than a limit, and the icon, the text
// block and the button row are placed in a window that is just big enough
// for them and is centred on the screen. Widths of text come from a measure
// function, so the same code serves the real font and the tests.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orvalen {

// Pixels.
inline constexpr int kDialogMargin = 12;        // around everything
inline constexpr int kDialogIconSize = 32;      // the icon is square
inline constexpr int kDialogIconGap = 12;       // between the icon and the text
inline constexpr int kDialogRowGap = 16;        // between the text and the buttons
inline constexpr int kDialogButtonGap = 8;      // between two buttons
inline constexpr int kDialogButtonHeight = 26;  //
inline constexpr int kDialogButtonMinWidth = 80;
inline constexpr int kDialogButtonPadding = 24;  // added to the widest caption
inline constexpr int kDialogTabColumns = 8;      // a tab reaches the next multiple

// The width of a piece of UTF-8 text in pixels.
using TextWidth = std::function<int(std::string_view)>;

// The text as the lines to draw, each no wider than `max_width` where that
// can be helped (a single character wider than the limit stands alone):
//   - CR LF, a lone LF and a lone CR end a line; a line end at the very end
//     of the text starts no further line; the empty text is one empty line;
//   - a tab becomes spaces up to the next multiple of 8 characters;
//   - lines are broken between words, the blanks at the break dropped; a
//     word wider than the limit is broken between two characters.
std::vector<std::string> BreakText(std::string_view text, int max_width, const TextWidth& width);

struct DialogRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
};

// What the window has to hold.
struct DialogContent {
  int text_width = 0;   // the widest line
  int text_height = 0;  // all lines
  bool icon = false;
  std::vector<int> caption_widths;  // one for each button, left to right
};

// Where everything goes, in window coordinates.
struct DialogArrangement {
  int width = 0;
  int height = 0;
  DialogRect icon;  // empty without an icon
  DialogRect text;
  std::vector<DialogRect> buttons;
};

// Buttons of one width in a centred row under the text; a text shorter than
// the icon is centred beside it.
DialogArrangement ArrangeDialog(const DialogContent& content);

// The top left corner of a window of `width` x `height` centred in `area`,
// kept inside it at the top and the left when the window is larger.
DialogRect CentreIn(const DialogRect& area, int width, int height);

}  // namespace orvalen
