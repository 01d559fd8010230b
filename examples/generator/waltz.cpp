// A 3/4 waltz. Bars of 12 sixteenth steps (24 ticks each, 96 to the quarter); a tempo byte of
// 104 makes a quarter last about 0.46 s.
#include "examples/generator/compositions.h"
#include "examples/generator/keys.h"
#include "examples/generator/step_pattern.h"

namespace brondel::examples {

TRhythmBuilder Waltz() {
  // The step grids are aligned by hand so that the beats stand in columns.
  // clang-format off
  const TBar oom        = {{kKick,     "X..........."},
                           {kPedalHat, "....x...x..."},
                           {kSnare,    "....o...o..."}};
  const TBar oomRide    = {{kRide,     "x...x.x.x..."},
                           {kKick,     "X..........."},
                           {kSnare,    "....o...o..."}};
  const TBar oomTurn    = {{kKick,     "X..........."},
                           {kPedalHat, "....x......."},
                           {kSnare,    "....o...x.xX"}};
  const TBar fill       = {{kKick,     "X..........."},
                           {kSnare,    "....x.x....."},
                           {kHighTom,  "........x..."},
                           {kLowTom,   "..........xX"}};
  const TBar introHit   = {{kCrash,    "X..........."},
                           {kKick,     "X..........."},
                           {kPedalHat, "....x...x..."}};
  const TBar finalHit   = {{kCrash,    "X..........."},
                           {kKick,     "X..........."}};
  const TBar stopHits   = {{kKick,     "X...x...X..."},
                           {kSnare,    "....x...X..."},
                           {kCrash,    "........X..."}};

  const TBar bassC      = {{kC2, "X===........"}};
  const TBar bassG      = {{kG1, "X===........"}};
  const TBar bassWalkC  = {{kC2, "X===........"},
                           {kE2, "........x==."}};
  const TBar bassWalkG  = {{kG1, "X===........"},
                           {kB1, "........x==."}};
  const TBar bassFill   = {{kC2, "X===........"},
                           {kD2, "....x==....."},
                           {kE2, "........x==."}};
  const TBar bassWhole  = {{kC2, "X==========="}};
  const TBar bassStop   = {{kC2, "X...x...X==="}};

  const TBar pahHigh    = {{{kE4, kG4, kC5}, "....x=..x=.."}};
  const TBar pahLow     = {{{kC4, kE4, kG4}, "....x=..x=.."}};
  const TBar chordWhole = {{{kC4, kE4, kG4}, "X==========="}};
  const TBar chordStop  = {{{kE4, kG4, kC5}, "X...x...X==="}};
  const TBar pad        = {{{kG3, kC4, kE4}, "x==========="}};
  const TBar tuneA      = {{kE5, "X=====......"},
                           {kD5, "......x=...."},
                           {kC5, "........x=x="}};
  const TBar tuneB      = {{kG5, "X=======...."},
                           {kE5, "........x==="}};
  const TBar tuneEnd    = {{kC5, "X==========="}};
  const TBar tuneStop   = {{kC5, "X...x...X==="}};
  const TBar arpeggio   = {{kC5, "x.......x..."},
                           {kE5, "..x...x....."},
                           {kG5, "....x......."},
                           {kG4, "..........x."}};

  // Bars per section, then for each part (drums, bass, chord 1, chord 2, chord 3) the bars it
  // plays in turn.
  const std::array<TSectionPlan, kSectionCount> sections = {{
      /* Intro1 */ {2, {{{introHit, fill}, {bassC, bassFill}, {pahHigh}, {pad},
                         {tuneA, tuneB}}}},
      /* Intro2 */ {2, {{{oom}, {bassC, bassG}, {pahHigh, pahLow}, {}, {arpeggio}}}},
      /* Var1   */ {4, {{{oom, oom, oom, oomTurn}, {bassC, bassG}, {pahHigh, pahLow}, {pad},
                         {tuneA, tuneB}}}},
      /* Var2   */ {4, {{{oomRide, oomRide, oomRide, oomTurn}, {bassWalkC, bassWalkG},
                         {pahHigh, pahLow}, {pad}, {arpeggio}}}},
      /* Fill1  */ {1, {{{fill}, {bassFill}, {pahHigh}, {pad}, {tuneB}}}},
      /* Fill2  */ {1, {{{oomTurn}, {bassFill}, {pahLow}, {pad}, {arpeggio}}}},
      /* Fill3  */ {1, {{{fill}, {bassWalkC}, {pahHigh}, {pad}, {arpeggio}}}},
      /* Fill4  */ {1, {{{oomTurn}, {bassWalkG}, {pahLow}, {pad}, {tuneA}}}},
      /* End1   */ {2, {{{oom, finalHit}, {bassG, bassWhole}, {pahLow, chordWhole}, {pad},
                         {tuneB, tuneEnd}}}},
      /* End2   */ {1, {{{stopHits}, {bassStop}, {chordStop}, {}, {tuneStop}}}},
  }};
  // clang-format on

  TStyle style;
  style.tempo = 104;
  style.timeSignature = 0x1A;  // 3/4
  style.barTicks = 3 * 96;
  style.settings = {
      PartSettings(kBrushKit, 0, 95, 64, 50, 0), PartSettings(kAcousticBass, 0, 100, 60, 30, 0),
      PartSettings(kAccordion, 0, 85, 48, 50, 30), PartSettings(kStrings, 0, 70, 80, 70, 30),
      PartSettings(kFlute, 0, 80, 72, 60, 10)};
  return Compose(style, sections);
}

}  // namespace brondel::examples
