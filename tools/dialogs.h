// The two ways the program talks to the user: a message with one OK button
// and the Yes/No question. Code that shows messages is handed a Dialogs
// object, so tests can script the answers and record what was shown; the
// run driver picks the real windows or the console.
#pragma once

#include "tools/build_policy.h"

namespace orvalen {

// The answers a dialog gives back. They are the Windows message-box answer
// codes (IDOK, IDCANCEL, IDYES, IDNO), which the callers of MessageDlg
// compare against; a window closed without a button answers IDCANCEL there.
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerClosed = 2;  // close box or the system's close command
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

enum class DialogKind { kConfirmation };
enum class DialogButtons { kYesNo };

// ShowMessage and MessageDlg, with their arguments, are the system's own names
// for the two dialogs and are kept as they are.
template <BuildPolicy Build>
class Dialogs {
 public:
  using TextView = typename Build::TextView;

  virtual ~Dialogs() = default;
  // Shows the text in a modal message window; returns when it is closed.
  virtual void ShowMessage(TextView text) = 0;
  // Asks the question in a modal window; returns kAnswerYes, kAnswerNo or
  // kAnswerClosed.
  virtual int MessageDlg(TextView text, DialogKind kind, DialogButtons buttons,
                         int help_context) = 0;
};

}  // namespace orvalen
