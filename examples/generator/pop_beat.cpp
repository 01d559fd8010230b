// A 4/4 pop beat. Bars of 16 sixteenth steps (24 ticks each, 96 to the quarter); a tempo byte
// of 96 makes a quarter last 0.5 s.
#include "examples/generator/compositions.h"
#include "examples/generator/keys.h"
#include "examples/generator/step_pattern.h"

namespace brondel::examples {

TRhythmBuilder PopBeat() {
  // The step grids are aligned by hand so that the beats stand in columns.
  // clang-format off
  const TBar groove     = {{kClosedHat, "x.o.x.o.x.o.x.o."},
                           {kKick,      "X.......X.x....."},
                           {kSnare,     "....X.......X..."}};
  const TBar grooveTurn = {{kClosedHat, "x.o.x.o.x.o.x..."},
                           {kOpenHat,   "..............x="},
                           {kKick,      "X.......X.x...x."},
                           {kSnare,     "....X.......X..."}};
  const TBar drive      = {{kRide,      "x.x.x.x.x.x.x.x."},
                           {kPedalHat,  "..x...x...x...x."},
                           {kKick,      "X.....x.X.x...x."},
                           {kSnare,     "....X..o....X.o."}};
  const TBar driveTurn  = {{kRide,      "x.x.x.x.x.x....."},
                           {kKick,      "X.....x.X.x....."},
                           {kSnare,     "....X..o....xoxX"}};
  const TBar fill1      = {{kClosedHat, "x.o.x.o.x.o....."},
                           {kKick,      "X.......X......."},
                           {kSnare,     "....X.......x.xX"}};
  const TBar fill2      = {{kClosedHat, "x.o.x.o........."},
                           {kKick,      "X.......X......."},
                           {kSnare,     "....X...xx......"},
                           {kHighTom,   "..........xx...."},
                           {kMidTom,    "............xx.."},
                           {kFloorTom,  "..............xX"}};
  const TBar fill3      = {{kRide,      "x.x.x.x........."},
                           {kKick,      "X.....x.X......."},
                           {kSnare,     "....X...oxoxXxXx"}};
  const TBar fill4      = {{kRide,      "x.x.x.x........."},
                           {kKick,      "X.....x.X...X..."},
                           {kSnare,     "....X...X.x....."},
                           {kHighTom,   ".........x.x...."},
                           {kLowTom,    "............x.x."},
                           {kFloorTom,  ".............x.x"}};
  const TBar introHit   = {{kCrash,     "X..............."},
                           {kClosedHat, "..o.x.o.x.o.x.o."},
                           {kKick,      "X.......X.x....."},
                           {kSnare,     "....X.......X..."}};
  const TBar sideGroove = {{kClosedHat, "x.x.x.x.x.x.x.x."},
                           {kKick,      "X.........x....."},
                           {kSideStick, "....x.......x..."}};
  const TBar finalHit   = {{kCrash,     "X..............."},
                           {kKick,      "X..............."}};
  const TBar stopHits   = {{kCrash,     "X.........X....."},
                           {kKick,      "X..X..X...X....."},
                           {kSnare,     "X..X..X...X....."}};

  const TBar bassA      = {{kC2, "X==.....x==.x=.."},
                           {kG2, "..............x."}};
  const TBar bassTurn   = {{kC2, "X==.....x==....."},
                           {kE2, "............x=.."},
                           {kG2, "..............x="}};
  const TBar bassDrive  = {{kC2, "X.x...x.X.x....."},
                           {kC3, "....x.......x.x."}};
  const TBar bassWalk   = {{kC2, "X==............."},
                           {kE2, "........x......."},
                           {kG2, "..........x....."},
                           {kA2, "............x..."},
                           {kB1, "..............x."}};
  const TBar bassSide   = {{kC2, "X=......x=......"},
                           {kG2, "..........x=...."}};
  const TBar bassWhole  = {{kC2, "X==============="}};
  const TBar bassStop   = {{kC2, "X..X..X...X====="}};

  const TBar compA      = {{{kE4, kG4, kC5},      "x==...x==...x=.."}};
  const TBar compB      = {{{kC4, kE4, kG4},      "..x=..x=..x=..x="}};
  const TBar compFill   = {{{kE4, kG4, kC5},      "x==.x==.x==....."}};
  const TBar compSide   = {{{kE4, kG4, kC5},      "....x=......x=.."}};
  const TBar compStop   = {{{kE4, kG4, kC5},      "X..X..X...X====="}};
  const TBar chordWhole = {{{kC4, kE4, kG4, kC5}, "X==============="}};
  const TBar padA       = {{{kG3, kC4, kE4},      "x==============="}};
  const TBar padB       = {{{kC4, kE4, kG4},      "x==============="}};
  const TBar padStop    = {{{kG3, kC4, kE4},      "X..X..X...X====="}};
  const TBar strum      = {{{kC4, kG4},           "x.o.x.o.x.o.x.o."}};
  const TBar arpeggio   = {{kC4, "x.......x......."},
                           {kE4, "..x.......x....."},
                           {kG4, "....x.......x..."},
                           {kC5, "......x.......x."}};

  // Bars per section, then for each part (drums, bass, chord 1, chord 2, chord 3) the bars it
  // plays in turn.
  const std::array<TSectionPlan, kSectionCount> sections = {{
      /* Intro1 */ {2, {{{introHit, fill2}, {bassWhole, bassWalk}, {chordWhole, compFill}, {padA},
                         {arpeggio}}}},
      /* Intro2 */ {2, {{{sideGroove, fill1}, {bassSide}, {compSide}, {padA, padB}, {}}}},
      /* Var1   */ {4, {{{groove, groove, groove, grooveTurn}, {bassA, bassA, bassA, bassTurn},
                         {compA}, {padA, padB}, {arpeggio}}}},
      /* Var2   */ {4, {{{drive, drive, drive, driveTurn}, {bassDrive}, {compB}, {padB, padA},
                         {strum}}}},
      /* Fill1  */ {1, {{{fill1}, {bassWalk}, {compFill}, {padA}, {arpeggio}}}},
      /* Fill2  */ {1, {{{fill2}, {bassWalk}, {compFill}, {padB}, {}}}},
      /* Fill3  */ {1, {{{fill3}, {bassDrive}, {compB}, {padB}, {strum}}}},
      /* Fill4  */ {1, {{{fill4}, {bassWalk}, {compFill}, {padA}, {strum}}}},
      /* End1   */ {2, {{{groove, finalHit}, {bassA, bassWhole}, {compA, chordWhole}, {padA, padB},
                         {arpeggio, chordWhole}}}},
      /* End2   */ {1, {{{stopHits}, {bassStop}, {compStop}, {padStop}, {}}}},
  }};
  // clang-format on

  TStyle style;
  style.tempo = 96;
  style.timeSignature = 0x22;  // 4/4
  style.barTicks = 4 * 96;
  style.settings = {
      PartSettings(kStandardKit, 0, 110, 64, 40, 0), PartSettings(kFingerBass, 0, 105, 64, 20, 0),
      PartSettings(kElectricPiano, 0, 88, 44, 50, 40), PartSettings(kStrings, 0, 72, 84, 70, 20),
      PartSettings(kCleanGuitar, 0, 80, 96, 45, 30)};
  return Compose(style, sections);
}

}  // namespace brondel::examples
