// What the libraries under the MIDI layer print of their own accord: each line goes to standard
// error once, named after its library, trimmed of the library's own newlines; while the layer
// expects messages (on any thread) they are dropped; FluidSynth's hook, once routed, brings its
// errors and warnings here and leaves out its information. Every test uses lines of its own:
// the lines already shown are kept for the whole process.
#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/midi/system/library_messages.h"

namespace brondel::platform {
namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

TEST(LibraryMessages, EachLineIsShownOnceNamedAfterItsLibrary) {
  CaptureStderr();
  LibraryMessage("JACK", "cannot connect to server once\n");
  LibraryMessage("JACK", "cannot connect to server once");
  LibraryMessage("JACK", "\ncannot connect to server once \n");
  LibraryMessage("ALSA", "cannot connect to server once");  // another library: another line
  LibraryMessage("JACK", "cannot connect to server twice");
  LibraryMessage("JACK", "cannot connect to server once\n");
  LibraryMessage("JACK", "\n \n");  // nothing left once trimmed
  EXPECT_EQ(GetCapturedStderr(),
            "JACK: cannot connect to server once\n"
            "ALSA: cannot connect to server once\n"
            "JACK: cannot connect to server twice\n");
}

TEST(LibraryMessages, AreDroppedWhileAnyThreadExpectsThem) {
  CaptureStderr();
  {
    const LibraryMessagesExpected expected;
    LibraryMessage("JACK", "expected on the same thread");
    std::thread([] { LibraryMessage("JACK", "expected on another thread"); }).join();
    { const LibraryMessagesExpected nested; }
    LibraryMessage("JACK", "expected after a nested scope ended");
  }
  std::thread expecting([] {
    const LibraryMessagesExpected expected;
    LibraryMessage("ALSA", "expected by another thread");
  });
  expecting.join();
  // No scope lives any more: a line dropped before is shown now, once.
  LibraryMessage("JACK", "expected on the same thread");
  EXPECT_EQ(GetCapturedStderr(), "JACK: expected on the same thread\n");
}

TEST(LibraryMessages, FluidSynthsErrorsAndWarningsComeThroughItsHook) {
  RouteLibraryMessages();
  RouteLibraryMessages();  // a second call installs nothing twice
  CaptureStderr();
  fluid_log(FLUID_ERR, "no soundfont %d", 7);
  fluid_log(FLUID_WARN, "a warning");
  fluid_log(FLUID_WARN, "a warning");
  fluid_log(FLUID_INFO, "information");
  fluid_log(FLUID_DBG, "debugging");
  EXPECT_EQ(GetCapturedStderr(), "FluidSynth: no soundfont 7\nFluidSynth: a warning\n");
}

}  // namespace
}  // namespace brondel::platform
