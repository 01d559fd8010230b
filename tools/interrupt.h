// Ctrl-C for commands that run a while (play, wav): while a catcher lives, SIGINT only sets a
// flag, which the command looks at between steps of its work, so that it can end cleanly (every
// note ended, no half-written file left) and exit with the status a shell expects.
#pragma once

namespace brondel::tool {

/// The exit status of a command that Ctrl-C ended: 128 + SIGINT, as shells report it.
inline constexpr int kExitInterrupted = 130;

/// Catches Ctrl-C for its lifetime; the previous handling comes back afterwards.
class TInterruptCatcher {
 public:
  TInterruptCatcher();
  ~TInterruptCatcher();
  TInterruptCatcher(const TInterruptCatcher&) = delete;
  TInterruptCatcher& operator=(const TInterruptCatcher&) = delete;

  /// True once Ctrl-C has been pressed since the catcher was made (or the last Take).
  static bool Requested();
  /// Requested(), and forgets it.
  static bool Take();

 private:
  void (*previous_)(int);
};

}  // namespace brondel::tool
