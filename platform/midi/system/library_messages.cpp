#include "platform/midi/system/library_messages.h"

#include <fluidsynth.h>

#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

#if defined(BRONDEL_HAVE_JACK)
#include <jack/jack.h>
#endif
#if defined(BRONDEL_HAVE_ALSA)
#include <alsa/asoundlib.h>
#endif

namespace brondel::platform {
namespace {

// Past this many distinct lines a library repeats itself with changing numbers; the rest are
// left out.
constexpr std::size_t kMaxShownLines = 64;

std::atomic<int> gExpecting{0};

struct ShownLines {
  std::mutex mutex;
  std::set<std::string> lines;
};

ShownLines& Shown() {
  static ShownLines shown;
  return shown;
}

// Libraries end their lines in newlines of their own, or not at all.
std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
  while (!text.empty() && text.front() == '\n') text.remove_prefix(1);
  return text;
}

void FluidSynthMessage(int, const char* message, void*) {
  LibraryMessage("FluidSynth", message != nullptr ? message : "");
}

#if defined(BRONDEL_HAVE_JACK)
void JackMessage(const char* message) {
  LibraryMessage("JACK", message != nullptr ? message : "");
}
#endif

#if defined(BRONDEL_HAVE_ALSA)
void AlsaMessage(const char*, int, const char* function, int error, const char* format, ...) {
  std::array<char, 512> text{};
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text.data(), text.size(), format, arguments);
  va_end(arguments);
  std::string line = std::string(function != nullptr ? function : "") + ": " + text.data();
  if (error != 0) line += std::string(": ") + std::strerror(error < 0 ? -error : error);
  LibraryMessage("ALSA", line);
}
#endif

void InstallHooks() {
  // FluidSynth's information and debugging levels are no problem of anyone's.
  for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN}) {
    fluid_set_log_function(level, FluidSynthMessage, nullptr);
  }
  for (int level : {FLUID_INFO, FLUID_DBG}) fluid_set_log_function(level, nullptr, nullptr);
#if defined(BRONDEL_HAVE_JACK)
  jack_set_error_function(JackMessage);
  jack_set_info_function(JackMessage);
#endif
#if defined(BRONDEL_HAVE_ALSA)
  snd_lib_error_set_handler(AlsaMessage);
#endif
}

}  // namespace

void RouteLibraryMessages() {
  static std::once_flag installed;
  std::call_once(installed, InstallHooks);
}

void LibraryMessage(std::string_view library, std::string_view text) {
  text = Trimmed(text);
  if (gExpecting.load() > 0 || text.empty()) return;
  const std::string line = std::string(library) + ": " + std::string(text);
  ShownLines& shown = Shown();
  {
    std::lock_guard guard(shown.mutex);
    if (shown.lines.size() >= kMaxShownLines || !shown.lines.insert(line).second) return;
  }
  std::fprintf(stderr, "%s\n", line.c_str());
}

LibraryMessagesExpected::LibraryMessagesExpected() {
  ++gExpecting;
}

LibraryMessagesExpected::~LibraryMessagesExpected() {
  --gExpecting;
}

}  // namespace brondel::platform
