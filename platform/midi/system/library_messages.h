// What the libraries under the MIDI layer print of their own accord (ALSA's library, libjack,
// FluidSynth) comes through each library's own hook to one place; RtMidi's reports go to the
// port devices' own callback, which counts them (ports/port_devices.cpp). While the layer tries
// something whose failure it reports itself (listing the devices, opening one, trying the audio
// drivers, loading a soundfont), those messages are expected and dropped: the result code says
// what happened in one line. Any other message is a real problem the layer has no result for; it
// goes to standard error once, as one line named after its library ("JACK: ...").
//
// Threads: the hooks are called on whatever thread the library is on (JACK's own included); one
// mutex guards the lines already shown, and the count of expecting scopes is an atomic.
#pragma once
#if !defined(BRONDEL_PLATFORM_MIDI_INTERNAL) && !defined(BRONDEL_PLATFORM_MIDI_TESTING_INSIDE)
#error "This header is private to platform/midi: include platform/midi_service.h instead."
#endif

#include <string_view>

namespace brondel::platform {

/// Installs the hooks of every library the layer was built with, once per process (later calls
/// do nothing): JACK's error and info functions, ALSA's error handler, FluidSynth's log levels.
void RouteLibraryMessages();

/// One message of a library (the hooks' way in): dropped while a scope expects messages, else
/// written to standard error unless the same line was already.
void LibraryMessage(std::string_view library, std::string_view text);

/// While any of these lives (on any thread), library messages are expected and dropped.
class LibraryMessagesExpected {
 public:
  LibraryMessagesExpected();
  ~LibraryMessagesExpected();
  LibraryMessagesExpected(const LibraryMessagesExpected&) = delete;
  LibraryMessagesExpected& operator=(const LibraryMessagesExpected&) = delete;
};

}  // namespace brondel::platform
