// Scripted MIDI import dialogs for window tests: answers are queued beforehand, and what the
// source dialog was shown is kept.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/midi_import_dialogs.h"

class TFakeMidiImportDialogs : public brondel::platform::IMidiImportDialogs {
 public:
  std::optional<std::string> AskMidiFileName() override {
    if (fileAnswers.empty()) return std::nullopt;
    auto answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
  }
  std::vector<std::string> AskMidiFileNames() override {
    std::vector<std::string> answer = filesAnswer;
    filesAnswer.clear();
    return answer;
  }
  std::optional<brondel::platform::TMidiSourceChoice> ChooseMidiSource(
      const std::string& target, const std::vector<std::string>& sources, int proposed) override {
    shownTarget = target;
    shownSources = sources;
    shownProposed = proposed;
    return sourceAnswer;
  }

  std::deque<std::optional<std::string>> fileAnswers;                // nullopt = cancel
  std::vector<std::string> filesAnswer;                              // empty = cancel
  std::optional<brondel::platform::TMidiSourceChoice> sourceAnswer;  // nullopt = cancel
  std::string shownTarget;
  std::vector<std::string> shownSources;
  int shownProposed = -1;
};
