#include "driver/dialogs/window_dialog.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <utility>

#include "driver/dialogs/window_copy_text.h"
#include "driver/dialogs/window_layout.h"
#include "driver/dialogs/window_x_properties.h"
#include "tools/dialogs.h"

namespace orvalen {
namespace {

constexpr Fl_Font kTextFont = FL_HELVETICA;
constexpr Fl_Fontsize kTextSize = 14;

// Alt, Ctrl and the Windows key change what a key means.
constexpr int kCommandModifiers = FL_CTRL | FL_ALT | FL_META;

int TextWidthOf(std::string_view text) {
  return static_cast<int>(fl_width(text.data(), static_cast<int>(text.size())) + 0.999);
}

// The lines of the text, drawn one by one as plain text.
class TextBlock : public Fl_Widget {
 public:
  TextBlock(const DialogRect& at, std::vector<std::string> lines)
      : Fl_Widget(at.x, at.y, at.w, at.h), lines_(std::move(lines)) {
    box(FL_NO_BOX);
    clear_visible_focus();
  }

  void draw() override {
    fl_font(kTextFont, kTextSize);
    fl_color(FL_FOREGROUND_COLOR);
    const int line_height = fl_height();
    const int baseline = line_height - fl_descent();
    for (std::size_t i = 0; i < lines_.size(); ++i)
      fl_draw(lines_[i].data(), static_cast<int>(lines_[i].size()), x(),
              y() + static_cast<int>(i) * line_height + baseline);
  }

  int handle(int) override { return 0; }

 private:
  std::vector<std::string> lines_;
};

class IconView : public Fl_Widget {
 public:
  IconView(const DialogRect& at, DialogIcon icon) : Fl_Widget(at.x, at.y, at.w, at.h), icon_(icon) {
    box(FL_NO_BOX);
    clear_visible_focus();
  }
  void draw() override { DrawDialogIcon(icon_, x(), y()); }
  int handle(int) override { return 0; }

 private:
  DialogIcon icon_;
};

// A button that Enter presses as well as Space, but only while it has the
// focus; the default button is framed.
class DialogButtonWidget : public Fl_Button {
 public:
  DialogButtonWidget(const DialogRect& at, const std::string& caption, bool is_default)
      : Fl_Button(at.x, at.y, at.w, at.h), is_default_(is_default) {
    copy_label(caption.c_str());
    labelfont(kTextFont);
    labelsize(kTextSize);
  }

  int handle(int event) override {
    if (event == FL_KEYBOARD && Fl::focus() == this && IsPressKey()) {
      do_callback();
      return 1;
    }
    return Fl_Button::handle(event);
  }

  void draw() override {
    Fl_Button::draw();
    if (!is_default_) return;
    fl_color(FL_DARK3);
    fl_rect(x(), y(), w(), h());
  }

 private:
  static bool IsPressKey() {
    if (Fl::event_state() & kCommandModifiers) return false;
    const int key = Fl::event_key();
    return key == FL_Enter || key == FL_KP_Enter || key == ' ';
  }

  bool is_default_;
};

class DialogWindow : public Fl_Double_Window {
 public:
  DialogWindow(const DialogDescription& dialog, const DialogArrangement& arrangement,
               std::vector<std::string> lines)
      : Fl_Double_Window(arrangement.width, arrangement.height),
        cancel_answer_(dialog.buttons[dialog.cancel_button].answer) {
    copy_label(dialog.caption.c_str());
    std::vector<std::string> captions;
    for (const DialogButton& button : dialog.buttons) captions.push_back(button.caption);
    copy_text_ = DialogCopyText(dialog.caption, dialog.text, captions);

    if (dialog.icon != DialogIcon::kNone) new IconView(arrangement.icon, dialog.icon);
    new TextBlock(arrangement.text, std::move(lines));
    for (std::size_t i = 0; i < dialog.buttons.size(); ++i) {
      auto* button = new DialogButtonWidget(arrangement.buttons[i], dialog.buttons[i].caption,
                                            i == dialog.default_button);
      button->callback(OnButton, this);
      answers_.push_back(dialog.buttons[i].answer);
      buttons_.push_back(button);
    }
    end();
    callback(OnClose);
    resizable(nullptr);
    size_range(arrangement.width, arrangement.height, arrangement.width, arrangement.height);
    set_modal();
  }

  int handle(int event) override {
    if ((event == FL_KEYBOARD || event == FL_SHORTCUT) && IsCopyKey()) {
      fl_beep();
      Fl::copy(copy_text_.data(), static_cast<int>(copy_text_.size()), 1);
      return 1;
    }
    return Fl_Double_Window::handle(event);
  }

  void Focus(std::size_t button) { buttons_[button]->take_focus(); }
  int Answer() const { return answer_; }

 private:
  static bool IsCopyKey() {
    return (Fl::event_state() & (FL_SHIFT | kCommandModifiers)) == FL_CTRL &&
           Fl::event_key() == 'c';
  }

  static void OnButton(Fl_Widget* button, void* data) {
    auto* window = static_cast<DialogWindow*>(data);
    const auto at = std::find(window->buttons_.begin(), window->buttons_.end(), button);
    window->Finish(window->answers_[static_cast<std::size_t>(at - window->buttons_.begin())]);
  }

  // FLTK calls the window's callback for the close box (FL_CLOSE) and for an
  // Escape that no widget took (FL_SHORTCUT).
  static void OnClose(Fl_Widget* widget, void*) {
    auto* window = static_cast<DialogWindow*>(widget);
    const bool escape = Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape;
    window->Finish(escape ? window->cancel_answer_ : kAnswerClosed);
  }

  void Finish(int answer) {
    answer_ = answer;
    hide();
  }

  int cancel_answer_;
  int answer_ = kAnswerClosed;
  std::string copy_text_;
  std::vector<Fl_Widget*> buttons_;
  std::vector<int> answers_;
};

}  // namespace

int RunDialog(const DialogDescription& dialog) {
  int screen_x = 0, screen_y = 0, screen_w = 0, screen_h = 0;
  Fl::screen_xywh(screen_x, screen_y, screen_w, screen_h);
  DialogRect area;
  Fl::screen_work_area(area.x, area.y, area.w, area.h);

  fl_font(kTextFont, kTextSize);
  std::vector<std::string> lines = BreakText(dialog.text, screen_w / 2, TextWidthOf);
  DialogContent content;
  for (const std::string& line : lines)
    content.text_width = std::max(content.text_width, TextWidthOf(line));
  content.text_height = static_cast<int>(lines.size()) * fl_height();
  content.icon = dialog.icon != DialogIcon::kNone;
  for (const DialogButton& button : dialog.buttons)
    content.caption_widths.push_back(TextWidthOf(WithoutAccessMarks(button.caption)));
  const DialogArrangement arrangement = ArrangeDialog(content);

  int answer = kAnswerClosed;
  {
    DialogWindow window(dialog, arrangement, std::move(lines));
    const DialogRect place = CentreIn(area, arrangement.width, arrangement.height);
    window.position(place.x, place.y);
    window.show();
    DescribeDialogWindow(window, dialog.caption);
    window.Focus(dialog.default_button);
    while (window.shown()) Fl::wait();
    answer = window.Answer();
  }
  // Takes the window off the screen now, not at the next event.
  Fl::flush();
  return answer;
}

}  // namespace orvalen
