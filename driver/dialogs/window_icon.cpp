#include "driver/dialogs/window_icon.h"

#include <FL/Enumerations.H>
#include <FL/fl_draw.H>

#include "driver/dialogs/window_layout.h"

namespace orvalen {

void DrawDialogIcon(DialogIcon icon, int x, int y) {
  if (icon == DialogIcon::kNone) return;
  const int size = kDialogIconSize;
  const bool question = icon == DialogIcon::kQuestion;
  fl_color(question ? fl_rgb_color(0x1F, 0x5F, 0xBF) : fl_rgb_color(0xC8, 0x24, 0x24));
  fl_pie(x, y, size, size, 0, 360);
  fl_color(FL_WHITE);
  if (question) {
    fl_font(FL_HELVETICA_BOLD, 24);
    fl_draw("?", x, y, size, size, FL_ALIGN_CENTER, nullptr, 0);
    return;
  }
  const int inset = size / 3;
  fl_line_style(FL_SOLID | FL_CAP_ROUND, 4);
  fl_line(x + inset, y + inset, x + size - inset, y + size - inset);
  fl_line(x + size - inset, y + inset, x + inset, y + size - inset);
  fl_line_style(0);
}

}  // namespace orvalen
