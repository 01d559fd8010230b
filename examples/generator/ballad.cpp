// A 12/8 ballad. Bars of 12 eighth steps (48 ticks each, 96 to the quarter); a tempo byte of
// 88 makes a dotted quarter last about 0.82 s.
#include "examples/generator/compositions.h"
#include "examples/generator/keys.h"
#include "examples/generator/step_pattern.h"

namespace brondel::examples {

TRhythmBuilder Ballad() {
  // The step grids are aligned by hand so that the beats stand in columns.
  // clang-format off
  const TBar slow       = {{kClosedHat, "xooxooxooxoo"},
                           {kKick,      "X.....X.x..."},
                           {kSnare,     "...X.....X.."}};
  const TBar slowTurn   = {{kClosedHat, "xooxooxoo..."},
                           {kOpenHat,   ".........x=="},
                           {kKick,      "X.....X.x..."},
                           {kSnare,     "...X.....X.."}};
  const TBar ride       = {{kRide,      "xooxooxooxoo"},
                           {kPedalHat,  "...x.....x.."},
                           {kKick,      "X.x...X.x..x"},
                           {kSnare,     "...X.....X.."}};
  const TBar fill1      = {{kClosedHat, "xooxoo......"},
                           {kKick,      "X.....X....."},
                           {kSnare,     "...X..xxx..."},
                           {kHighTom,   ".........x.."},
                           {kFloorTom,  "..........xX"}};
  const TBar fill2      = {{kKick,      "X.....X....."},
                           {kSnare,     "...X........"},
                           {kHighTom,   "......xxx..."},
                           {kMidTom,    ".........xx."},
                           {kFloorTom,  "...........X"}};
  const TBar intro      = {{kClosedHat, "xooxooxooxoo"},
                           {kKick,      "X.....X....."},
                           {kSideStick, "...x.....x.."}};
  const TBar finalHit   = {{kCrash,     "X..........."},
                           {kKick,      "X..........."}};
  const TBar stopHits   = {{kKick,      "X.....X....."},
                           {kSnare,     "......X....."},
                           {kCrash,     "......X....."}};

  const TBar bassA      = {{kC2, "X=====......"},
                           {kG2, "......x==..."},
                           {kE2, ".........x=."}};
  const TBar bassB      = {{kC2, "X=====......"},
                           {kC3, "......x==..."},
                           {kG2, ".........x=="}};
  const TBar bassFill   = {{kC2, "X==........."},
                           {kE2, "...x==......"},
                           {kF2, "......x==..."},
                           {kG2, ".........x=="}};
  const TBar bassWhole  = {{kC2, "X==========="}};
  const TBar bassStop   = {{kC2, "X.....X====="}};

  const TBar arpeggio   = {{kC4, "x.....x....."},
                           {kE4, ".x...x.x...x"},
                           {kG4, "..x.x...x.x."},
                           {kC5, "...x.....x.."}};
  const TBar triplets   = {{{kE4, kG4, kC5},      "xooxooxooxoo"}};
  const TBar chordWhole = {{{kC4, kE4, kG4, kC5}, "X==========="}};
  const TBar chordStop  = {{{kE4, kG4, kC5},      "X.....X====="}};
  const TBar padA       = {{{kG3, kC4, kE4},      "x==========="}};
  const TBar padB       = {{{kC4, kE4, kG4},      "x==========="}};
  const TBar padStop    = {{{kG3, kC4, kE4},      "X.....X====="}};
  const TBar choir      = {{{kE4, kG4},           "x=====x====="}};
  const TBar choirEnd   = {{{kE4, kG4, kC5},      "X==========="}};

  // Bars per section, then for each part (drums, bass, chord 1, chord 2, chord 3) the bars it
  // plays in turn.
  const std::array<TSectionPlan, kSectionCount> sections = {{
      /* Intro1 */ {2, {{{intro, fill2}, {bassWhole, bassFill}, {arpeggio}, {padA}, {}}}},
      /* Intro2 */ {2, {{{intro}, {bassA}, {arpeggio}, {padA, padB}, {choir}}}},
      /* Var1   */ {4, {{{slow, slow, slow, slowTurn}, {bassA, bassB}, {arpeggio}, {padA, padB},
                         {}}}},
      /* Var2   */ {4, {{{ride, ride, ride, slowTurn}, {bassA, bassB}, {triplets}, {padA, padB},
                         {choir}}}},
      /* Fill1  */ {1, {{{fill1}, {bassFill}, {arpeggio}, {padA}, {}}}},
      /* Fill2  */ {1, {{{fill2}, {bassFill}, {triplets}, {padB}, {choir}}}},
      /* Fill3  */ {1, {{{fill1}, {bassB}, {triplets}, {padA}, {choir}}}},
      /* Fill4  */ {1, {{{fill2}, {bassFill}, {arpeggio}, {padB}, {}}}},
      /* End1   */ {2, {{{slowTurn, finalHit}, {bassA, bassWhole}, {arpeggio, chordWhole},
                         {padA, padB}, {choir, choirEnd}}}},
      /* End2   */ {1, {{{stopHits}, {bassStop}, {chordStop}, {padStop}, {}}}},
  }};
  // clang-format on

  TStyle style;
  style.tempo = 88;
  style.timeSignature = 0x63;  // 12/8
  style.barTicks = 12 * 48;
  style.settings = {
      PartSettings(kStandardKit, 0, 100, 64, 60, 0), PartSettings(kFretlessBass, 0, 100, 64, 30, 0),
      PartSettings(kGrandPiano, 0, 95, 52, 60, 10), PartSettings(kSlowStrings, 0, 72, 80, 80, 30),
      PartSettings(kChoir, 0, 65, 76, 80, 30)};
  return Compose(style, sections);
}

}  // namespace brondel::examples
