#include "driver/dialogs/window_interface.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include "driver/dialogs/window_dialog.h"
#include "tools/dialogs.h"

namespace orvalen {
namespace {

DialogDescription DescriptionOf(WindowKind kind, std::string_view caption, std::string_view text) {
  DialogDescription dialog;
  dialog.caption = caption;
  dialog.text = text;
  switch (kind) {
    case WindowKind::kQuestion:
      dialog.icon = DialogIcon::kQuestion;
      dialog.buttons = {{"&Ja", kAnswerYes}, {"&Nein", kAnswerNo}};
      dialog.cancel_button = 1;
      break;
    case WindowKind::kReport:
      dialog.icon = DialogIcon::kError;
      dialog.buttons = {{"OK", kAnswerOk}};
      break;
    case WindowKind::kMessage:
      dialog.buttons = {{"OK", kAnswerOk}};
      break;
  }
  return dialog;
}

class WindowInterface : public UserInterface {
 public:
  int Show(WindowKind kind, std::string_view caption, std::string_view text) override {
    return RunDialog(DescriptionOf(kind, caption, text));
  }
};

}  // namespace

std::unique_ptr<UserInterface> OpenWindowInterface() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return nullptr;
  fl_open_display(display);
  Fl::scheme("gtk+");
  return std::make_unique<WindowInterface>();
}

}  // namespace orvalen
