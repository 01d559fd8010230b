#include "platform/midi/jack/jack_environment.h"

#include <cstdlib>
#include <mutex>

namespace brondel::platform {
namespace {

void SetNoStartServer() {
#ifdef _WIN32
  _putenv_s("JACK_NO_START_SERVER", "1");
#else
  setenv("JACK_NO_START_SERVER", "1", 1);
#endif
}

}  // namespace

void PreventJackServerAutoStart() {
  static std::once_flag set;
  std::call_once(set, SetNoStartServer);
}

}  // namespace brondel::platform
