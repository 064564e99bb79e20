#include "driver/dialogs/window_x_properties.h"

#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xatom.h>

namespace orvalen {
namespace {

// The Motif window manager hints, which most window managers read for the
// functions and decorations of a window.
constexpr long kMotifFunctionsAndDecorations = 1 | 2;
constexpr long kMotifMoveAndClose = 4 | 32;
constexpr long kMotifBorderTitleAndMenu = 2 | 8 | 16;

void StoreName(Window xid, const std::string& caption) {
  char* list[] = {const_cast<char*>(caption.c_str())};
  XTextProperty name{};
  if (Xutf8TextListToTextProperty(fl_display, list, 1, XStdICCTextStyle, &name) != Success) return;
  XSetWMName(fl_display, xid, &name);
  XSetWMIconName(fl_display, xid, &name);
  XFree(name.value);
}

}  // namespace

void DescribeDialogWindow(Fl_Window& window, const std::string& caption) {
  const Window xid = fl_xid(&window);
  if (xid == 0) return;
  StoreName(xid, caption);

  const Atom type = XInternAtom(fl_display, "_NET_WM_WINDOW_TYPE", False);
  const Atom dialog = XInternAtom(fl_display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
  XChangeProperty(fl_display, xid, type, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&dialog), 1);

  const Atom motif = XInternAtom(fl_display, "_MOTIF_WM_HINTS", False);
  const long hints[5] = {kMotifFunctionsAndDecorations, kMotifMoveAndClose,
                         kMotifBorderTitleAndMenu, 0, 0};
  XChangeProperty(fl_display, xid, motif, motif, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(hints), 5);
}

}  // namespace orvalen
