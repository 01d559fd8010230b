// What playback needs from the window while it plays: message boxes, the settings grid, the
// lists that follow Play all, and a way to run the window's pending messages while it waits.
#pragma once

#include <string>

namespace brondel {

class IPlaybackHost {
 public:
  virtual ~IPlaybackHost() = default;
  /// A modal message box with a single OK button (MIDI errors, "This part is empty!").
  virtual void ShowMessage(const std::string& text) = 0;
  /// Refreshes the settings grid from the main file's section selected in its section list.
  virtual void ShowPartSettings() = 0;
  /// Play all follows an entry: select `section` in the slot's section list (without running its
  /// click handler) and refill the slot's part list with that section's five parts, none selected.
  virtual void ShowPlayAllEntry(int slot, int section) = 0;
  /// Runs the window's pending messages. It may sleep until a window event arrives or the MIDI
  /// service reports a buffer handed back, so that a waiting play does not spin.
  virtual void WaitForEvents() = 0;
};

}  // namespace brondel
