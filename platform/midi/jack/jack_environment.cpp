#include "platform/midi/jack/jack_environment.h"

#include <cstdlib>

namespace brondel::platform {

void PreventJackServerAutoStart() {
#ifdef _WIN32
  _putenv_s("JACK_NO_START_SERVER", "1");
#else
  setenv("JACK_NO_START_SERVER", "1", 1);
#endif
}

}  // namespace brondel::platform
