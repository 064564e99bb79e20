// The two dialog operations of a program, shown through its user interface:
// the message window carries the application title as its caption, the
// question the caption of its program ("Bestätigen", or "Bestätigung" in the
// legacy program). Texts of the legacy program are Windows-1252 bytes and are
// shown as the characters those bytes stand for.
#pragma once

#include <string>

#include "driver/dialogs/user_interface.h"
#include "tools/build_policy.h"
#include "tools/codepage1252.h"
#include "tools/dialogs.h"
#include "tools/failure.h"
#include "tools/utf8.h"

namespace orvalen {

// A program's text as UTF-8 for the user interface.
inline std::string DisplayText(std::u16string_view text) {
  return ToUtf8(text);
}
inline std::string DisplayText(std::string_view bytes) {
  return ToUtf8(DecodeCp1252(bytes));
}

template <BuildPolicy Build>
class UserDialogs : public Dialogs<Build> {
 public:
  using TextView = typename Build::TextView;

  UserDialogs(UserInterface& ui, std::string title, std::string question_caption)
      : ui_(ui), title_(std::move(title)), question_caption_(std::move(question_caption)) {}

  void ShowMessage(TextView text) override {
    ui_.Show(WindowKind::kMessage, title_, DisplayText(text));
  }
  int MessageDlg(TextView text, DialogKind, DialogButtons, int) override {
    return ui_.Show(WindowKind::kQuestion, question_caption_, DisplayText(text));
  }

 private:
  UserInterface& ui_;
  std::string title_;
  std::string question_caption_;
};

}  // namespace orvalen
