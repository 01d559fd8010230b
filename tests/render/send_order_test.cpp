// Records arranged for the render's order: after ArrangeForSendOrder the render sends a part's
// notes in the order its records listed them, for the exchange sort's own example and for random
// sections full of equal times; the records keep their times, steps and waits, and the other
// parts are sent as before.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "document/rhythm_builder.h"
#include "document/rhythm_timing.h"
#include "render/send_order.h"
#include "tests/support/midi_file_support.h"
#include "tests/support/stream_events.h"

namespace brondel {
namespace {

using test::Decode;
using test::RecordTiming;
using test::Render;
using test::SentNotes;
using test::StreamEvent;

/// The notes a part's records hold before its end record, in record order, at their times, as
/// SentNotes writes them.
std::vector<std::string> RecordNotes(const TPartStream& stream) {
  std::vector<std::string> notes;
  bool ended = false;
  ForEachTimedRecord(stream, [&](const TRhythmRecord& record, std::uint16_t time) {
    ended = ended || record.IsEnd();
    if (ended || record.IsWait()) return;
    notes.push_back(std::to_string(time) + ": " + std::to_string(record.b1) + " " +
                    std::to_string(record.b2));
  });
  return notes;
}

/// Every event of the buffer but those of `part`'s notes: what the other parts send, and when.
std::vector<StreamEvent> OtherEvents(const TEventBuffer& buffer, int part) {
  std::vector<StreamEvent> others;
  std::uint32_t time = 0;
  for (StreamEvent event : Decode(buffer)) {
    time += event.delta;
    event.delta = time;
    if (event.status != PartStatus(0x90, part) || event.data1 == kEndMarker) {
      others.push_back(event);
    }
  }
  return others;
}

TEST(ArrangeForSendOrder, TheSortsOwnExampleIsSentInRecordOrder) {
  // Drums at 5 and 5 (keys 40, 41), bass at 3, every part ending at 20: unarranged, the sort
  // sends 41 before 40, as it sends the times 5, 5, 3 as third, second, first.
  TRhythmBuilder rhythm(96, 0x22);
  for (int part = 2; part < kPartCount; ++part) rhythm.Part(0, part, TPartBuilder().End(20));
  TRhythmSlot slot = rhythm.Part(0, 0, TPartBuilder().Note(5, 40, 1).Note(0, 41, 2).End(15))
                         .Part(0, 1, TPartBuilder().Note(3, 50, 3).End(17))
                         .Slot();
  ASSERT_EQ(SentNotes(slot, 0, 0), (std::vector<std::string>{"5: 41 2", "5: 40 1"}));
  ArrangeForSendOrder(slot, 0, 0);
  EXPECT_EQ(SentNotes(slot, 0, 0), (std::vector<std::string>{"5: 40 1", "5: 41 2"}));
  EXPECT_EQ(RecordNotes(slot.streams[0][0]), (std::vector<std::string>{"5: 41 2", "5: 40 1"}));
}

TEST(ArrangeForSendOrder, RandomSectionsSendEachPartInItsRecordOrder) {
  std::mt19937 random(99);
  const auto draw = [&](std::uint32_t bound) {
    return static_cast<std::uint32_t>(random() % bound);
  };
  int reordered = 0;
  for (int round = 0; round < 400; ++round) {
    TRhythmBuilder rhythm(96, 0x22);
    for (int part = 0; part < kPartCount; ++part) {
      // Few distinct times, many notes on each, a wait now and then.
      TPartBuilder records;
      const std::uint32_t notes = draw(40);
      for (std::uint32_t n = 0; n < notes; ++n) {
        if (draw(6) == 0) records.Wait(static_cast<std::uint16_t>(draw(600)));
        records.Note(static_cast<std::uint8_t>(draw(3) ? 0 : 24 * draw(3)),
                     static_cast<std::uint8_t>(draw(128)), static_cast<std::uint8_t>(draw(128)));
      }
      rhythm.Part(0, part, records.End(static_cast<std::uint8_t>(draw(30))));
    }
    TRhythmSlot slot = rhythm.Slot();
    const int part = static_cast<int>(draw(kPartCount));
    const TPartStream before = slot.streams[0][static_cast<std::size_t>(part)];
    const auto others = OtherEvents(Render(slot, 0), part);
    const auto count = slot.eventCounts[0];
    reordered += SentNotes(slot, 0, part) != RecordNotes(before);

    ArrangeForSendOrder(slot, 0, part);
    ASSERT_EQ(SentNotes(slot, 0, part), RecordNotes(before)) << "round " << round;
    ASSERT_EQ(RecordTiming(slot.streams[0][static_cast<std::size_t>(part)]), RecordTiming(before));
    ASSERT_EQ(OtherEvents(Render(slot, 0), part), others) << "round " << round;
    ASSERT_EQ(slot.eventCounts[0], count);
  }
  EXPECT_GT(reordered, 100) << "the sort must have reordered parts for the test to mean anything";
}

TEST(ReplacePartInSendOrder, TheOtherPartsAreSentAsBeforeAndTheNewOneInRecordOrder) {
  // A new part of other times changes the sort's order of equal times: the other parts' notes of
  // one time still go out as they did.
  std::mt19937 random(7);
  const auto draw = [&](std::uint32_t bound) {
    return static_cast<std::uint32_t>(random() % bound);
  };
  const auto randomPart = [&] {
    TPartBuilder records;
    const std::uint32_t notes = draw(40);
    for (std::uint32_t n = 0; n < notes; ++n) {
      records.Note(static_cast<std::uint8_t>(draw(3) ? 0 : 24 * draw(3)),
                   static_cast<std::uint8_t>(draw(128)), static_cast<std::uint8_t>(draw(128)));
    }
    return records.End(static_cast<std::uint8_t>(draw(30)));
  };
  int changed = 0;  // rounds where replacing the part alone would have changed another part
  for (int round = 0; round < 300; ++round) {
    TRhythmBuilder rhythm(96, 0x22);
    for (int part = 0; part < kPartCount; ++part) rhythm.Part(0, part, randomPart());
    TRhythmSlot slot = rhythm.Slot();
    ArrangeSectionForSendOrder(slot, 0);
    const int part = static_cast<int>(draw(kPartCount));
    std::array<std::vector<std::string>, kPartCount> sent;
    for (int p = 0; p < kPartCount; ++p) sent[static_cast<std::size_t>(p)] = SentNotes(slot, 0, p);
    const TPartStream records = randomPart();

    TRhythmSlot plain = slot;
    ReplacePartStream(plain, 0, part, records);
    for (int p = 0; p < kPartCount; ++p) {
      changed += p != part && SentNotes(plain, 0, p) != sent[static_cast<std::size_t>(p)];
    }
    ReplacePartInSendOrder(slot, 0, part, records);
    for (int p = 0; p < kPartCount; ++p) {
      if (p == part) {
        ASSERT_EQ(SentNotes(slot, 0, p), RecordNotes(records)) << "round " << round;
      } else {
        ASSERT_EQ(SentNotes(slot, 0, p), sent[static_cast<std::size_t>(p)]) << "round " << round;
      }
    }
    ASSERT_EQ(slot.eventCounts[0], CountSectionEvents(slot, 0));
  }
  EXPECT_GT(changed, 50) << "the new part must have changed the sort for the test to mean anything";
}

}  // namespace
}  // namespace brondel
