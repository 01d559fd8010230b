// The three example rhythms, each in its own file.
#pragma once

#include "document/rhythm_builder.h"

namespace brondel::examples {

/// 4/4 pop beat at 120 beats a minute: drums, finger bass, electric piano, strings, guitar.
TRhythmBuilder PopBeat();
/// 3/4 waltz at 130 beats a minute: brushes, acoustic bass, accordion, strings, flute.
TRhythmBuilder Waltz();
/// 12/8 ballad at 73 dotted quarters a minute: drums, fretless bass, piano, strings, choir.
TRhythmBuilder Ballad();

}  // namespace brondel::examples
