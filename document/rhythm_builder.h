// Building rhythms in code, for our example rhythms and for tests. The part builder reads like
// the records it makes:
//   TPartBuilder().Note(4, 36, 100).Wait(532).Note(0, 36, 0).End()
// is a note at step 4, key 36, velocity 100; a wait of 532 ticks; its note-off; the end record
// (and the filler, as that makes an odd number of records).
#pragma once

#include <cstdint>
#include <vector>

#include "document/rhythm_slot.h"

namespace brondel {

/// One part, record by record.
class TPartBuilder {
 public:
  /// A note at the running time + `step`; velocity 0 ends the key's note.
  TPartBuilder& Note(std::uint8_t step, std::uint8_t key, std::uint8_t velocity);
  /// A wait record: the running time advances by `delay` ticks.
  TPartBuilder& Wait(std::uint16_t delay);
  /// Any record as it is (a damaged part in a test, a filler that is not a wait).
  TPartBuilder& Record(const TRhythmRecord& record);
  /// The records so far, with nothing added.
  const TPartStream& Records() const { return stream_; }
  /// Adds the end record at the running time + `step`, then a wait filler when the number of
  /// records is odd, and returns the part's data.
  TPartStream End(std::uint8_t step = 0);

 private:
  TPartStream stream_;
};

/// One note event of a part at an absolute tick: a note-on, or with velocity 0 a note-off.
struct TTimedNote {
  std::uint32_t time = 0;
  std::uint8_t key = 0;
  std::uint8_t velocity = 0;
  friend bool operator==(const TTimedNote&, const TTimedNote&) = default;
};

/// The records of a part whose notes come in this order, at times that never go back: each note
/// a note record whose step is its gap to the note before, a wait record first where the gap is
/// longer than a step holds (255 ticks), then the end record at `endTime` and a filler when the
/// number of records is odd. A wait holds 65,535 ticks, the whole timeline, so one is always
/// enough. Throws std::invalid_argument when a time goes back, a note lies after `endTime` or
/// `endTime` passes 65,535.
TPartStream EncodeTimedNotes(const std::vector<TTimedNote>& notes, std::uint32_t endTime);

/// One part as notes at absolute ticks, added in any order. Build() puts each note-on and its
/// note-off in time order, note-offs first at equal times, and encodes them (EncodeTimedNotes).
class TTimedPart {
 public:
  /// A note of `length` ticks that starts at `time`.
  TTimedPart& Add(std::uint32_t time, std::uint8_t key, std::uint8_t velocity,
                  std::uint32_t length);
  /// The records, the end record at `endTime`; throws std::invalid_argument when a note ends
  /// after `endTime` or `endTime` passes the 16-bit timeline.
  TPartStream Build(std::uint32_t endTime) const;

 private:
  std::vector<TTimedNote> events_;
};

/// The six shown settings of a part; bytes 6 and 7 stay 0.
TPartSettings PartSettings(std::uint8_t tone, std::uint8_t bank, std::uint8_t volume,
                           std::uint8_t pane, std::uint8_t reverb, std::uint8_t chorus);

/// A whole rhythm. Every part starts as an empty part (the end record and its filler).
class TRhythmBuilder {
 public:
  TRhythmBuilder(std::uint8_t tempo, std::uint8_t timeSignature);
  /// The bar count of a section.
  TRhythmBuilder& Bars(int section, std::uint16_t bars);
  /// The settings of a part in all ten sections.
  TRhythmBuilder& Settings(int part, const TPartSettings& settings);
  /// The settings of a part in one section.
  TRhythmBuilder& Settings(int section, int part, const TPartSettings& settings);
  /// The data of one part.
  TRhythmBuilder& Part(int section, int part, TPartStream stream);
  /// The header as built so far, for fields no other call sets.
  TRhythmHeader& Header() { return header_; }

  /// The document as a load would leave it, without a file name; offsets as a save writes them.
  TRhythmSlot Slot() const;
  /// The bytes of a .ckf file: a 64-byte block holding the type byte and the total length, the
  /// header, the parts in section-then-part order.
  std::vector<std::uint8_t> CkfFile() const;
  /// The bytes of a .z00 file: the same header and parts without the 64-byte block.
  std::vector<std::uint8_t> Z00File() const;

 private:
  TRhythmHeader header_;
  TPartStreams streams_;
};

}  // namespace brondel
