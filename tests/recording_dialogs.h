// A test double for Dialogs: answers questions from a script and records
// every text shown, in order, messages and questions alike, and how each
// question was asked.
#pragma once

#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/dialogs.h"

namespace orvalen {

template <class Build>
class RecordingDialogs : public Dialogs<Build> {
 public:
  using Text = typename Build::Text;
  using TextView = typename Build::TextView;

  struct Shown {
    enum Kind { kMessage, kQuestion } kind;
    Text text;
    bool operator==(const Shown&) const = default;
  };

  // The window kind, buttons and help context of a question.
  struct Asked {
    DialogKind kind;
    DialogButtons buttons;
    int help_context;
    bool operator==(const Asked&) const = default;
  };

  explicit RecordingDialogs(std::deque<int> answers = {}) : answers_(std::move(answers)) {}

  void ShowMessage(TextView text) override { shown_.push_back({Shown::kMessage, Text(text)}); }

  int MessageDlg(TextView text, DialogKind kind, DialogButtons buttons, int help_context) override {
    shown_.push_back({Shown::kQuestion, Text(text)});
    asked_.push_back({kind, buttons, help_context});
    if (answers_.empty())
      throw std::logic_error("a question was asked that the test did not script");
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }

  const std::vector<Shown>& AllShown() const { return shown_; }
  // The texts only, in the order shown.
  std::vector<Text> Texts() const {
    std::vector<Text> texts;
    for (const Shown& s : shown_) texts.push_back(s.text);
    return texts;
  }
  const std::vector<Asked>& Questions() const { return asked_; }

 private:
  std::deque<int> answers_;
  std::vector<Shown> shown_;
  std::vector<Asked> asked_;
};

}  // namespace orvalen
