// Scripted dialogs for window tests: answers are queued beforehand, and every message box is
// recorded with its kind instead of being shown.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

struct TShownBox {
  enum class Kind { kMessage, kError } kind;
  std::string text;
};

class TFakeDialogs : public brondel::platform::IDialogs {
 public:
  void ShowMessage(const std::string& text) override {
    shown.push_back({TShownBox::Kind::kMessage, text});
    if (onMessage) onMessage(text);
  }
  void ShowError(const std::string& text) override {
    shown.push_back({TShownBox::Kind::kError, text});
  }
  std::optional<std::string> AskOpenFileName() override {
    ++openDialogs;
    return Next(openAnswers);
  }
  std::optional<std::string> AskSaveFileName(const std::string& initialName) override {
    proposedSaveNames.push_back(initialName);
    return Next(saveAnswers);
  }
  brondel::platform::TSaveChangesAnswer AskSaveChanges(const std::string& question) override {
    saveChangesQuestions.push_back(question);
    if (saveChangesAnswers.empty()) return brondel::platform::TSaveChangesAnswer::kCancel;
    const auto answer = saveChangesAnswers.front();
    saveChangesAnswers.pop_front();
    return answer;
  }

  /// Texts of all boxes shown so far, in order.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& box : shown) texts.push_back(box.text);
    return texts;
  }

  std::deque<std::optional<std::string>> openAnswers;  // nullopt = cancel
  std::deque<std::optional<std::string>> saveAnswers;
  // Answers to "Save changes to NAME?", in order; none left answers Cancel.
  std::deque<brondel::platform::TSaveChangesAnswer> saveChangesAnswers;
  std::vector<std::string> saveChangesQuestions;  // every such question asked
  std::vector<TShownBox> shown;
  std::vector<std::string> proposedSaveNames;
  int openDialogs = 0;
  std::function<void(const std::string&)> onMessage;  // runs while a message box "is shown"

 private:
  static std::optional<std::string> Next(std::deque<std::optional<std::string>>& answers) {
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
};
