// The dialogs of the MIDI import: picking Standard MIDI Files and choosing the track or channel
// that becomes a part, behind one small interface so that tests can script the answers.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace brondel::platform {

/// What the source dialog answers: the source chosen and whether to take its sounds.
struct TMidiSourceChoice {
  int index = 0;  // into the list of sources shown
  bool takeSounds = false;
};

class IMidiImportDialogs {
 public:
  virtual ~IMidiImportDialogs() = default;
  /// The file-open dialog for one MIDI file ("*.mid *.midi *.smf"); nullopt when cancelled.
  virtual std::optional<std::string> AskMidiFileName() = 0;
  /// The same for one or more MIDI files at once; empty when cancelled.
  virtual std::vector<std::string> AskMidiFileNames() = 0;
  /// Lists `sources` (one line each) to replace the part named `target` ("Var1:Bass"), with
  /// `proposed` selected, and a "Take sounds" check box; nullopt when cancelled.
  virtual std::optional<TMidiSourceChoice> ChooseMidiSource(const std::string& target,
                                                            const std::vector<std::string>& sources,
                                                            int proposed) = 0;
};

}  // namespace brondel::platform
