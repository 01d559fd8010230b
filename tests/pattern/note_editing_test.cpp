// The pattern editor's core: random edit sequences checked against a plain note list, what the
// edits refuse, the snap grid, and the undo history.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <random>

#include "document/rhythm_builder.h"
#include "document/rhythm_loader.h"
#include "document/save_file.h"
#include "pattern/section_edit.h"
#include "render/render.h"
#include "render/send_order.h"

namespace brondel {

void PrintTo(const TEditNote& note, std::ostream* out) {
  *out << "key " << int{note.key} << " at " << note.tick << " for " << note.length << " vel "
       << int{note.velocity};
}

namespace {

constexpr int kSection = 2;          // Var1, the section edited
constexpr int kOtherSection = 3;     // Var2, which no edit may touch
constexpr std::uint32_t kBar = 384;  // 4/4 at 96 ticks a quarter note

// ---------------------------------------------------------------------------------------------
// The model: a plain note list per part, edited by rules written out here.

struct TModel {
  std::array<TNoteList, kPartCount> parts;
  std::uint32_t end = 0;
  friend bool operator==(const TModel&, const TModel&) = default;
};

// By tick, notes of one tick in list order; a key's note ends where its next note starts, and
// of two at one tick the later stays.
void ModelTidy(TNoteList& list) {
  std::stable_sort(list.begin(), list.end(),
                   [](const TEditNote& a, const TEditNote& b) { return a.tick < b.tick; });
  std::vector<bool> gone(list.size(), false);
  for (std::size_t i = 0; i < list.size(); ++i) {
    for (std::size_t j = i + 1; j < list.size(); ++j) {
      if (list[j].key != list[i].key) continue;
      if (list[j].tick == list[i].tick) {
        gone[i] = true;
      } else if (list[i].tick + list[i].length > list[j].tick) {
        list[i].length = list[j].tick - list[i].tick;
      }
      break;
    }
  }
  TNoteList kept;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (!gone[i] && list[i].length > 0) kept.push_back(list[i]);
  }
  list = kept;
}

TModel ModelOf(const TSectionNotes& notes) {
  return {notes.parts, notes.end};
}

using TPicked = std::vector<std::pair<int, TEditNote>>;

// The selected notes, part by part in list order, taken out of the model.
TPicked TakeSelected(TModel& model, const TSelection& selection) {
  TPicked picked;
  for (int part = 0; part < kPartCount; ++part) {
    TNoteList rest;
    for (const TEditNote& note : model.parts[static_cast<std::size_t>(part)]) {
      const bool chosen = std::find(selection.begin(), selection.end(),
                                    TNoteId{part, note.tick, note.key}) != selection.end();
      if (chosen) {
        picked.emplace_back(part, note);
      } else {
        rest.push_back(note);
      }
    }
    model.parts[static_cast<std::size_t>(part)] = rest;
  }
  return picked;
}

// Puts notes back after the others when every one lies within the section and has a key; else
// the model stays as it was and the edit is to be refused.
bool PutIfFits(TModel& model, const TModel& before, const TPicked& placed, std::int64_t shift = 0,
               int keys = 0) {
  for (const auto& [part, note] : placed) {
    const std::int64_t tick = std::int64_t{note.tick} + shift;
    const int key = note.key + keys;
    if (tick < 0 || tick + note.length > model.end || key < 0 || key > 127) {
      model = before;
      return false;
    }
  }
  for (auto [part, note] : placed) {
    note.tick = static_cast<std::uint32_t>(note.tick + shift);
    note.key = static_cast<std::uint8_t>(note.key + keys);
    model.parts[static_cast<std::size_t>(part)].push_back(note);
  }
  for (TNoteList& list : model.parts) ModelTidy(list);
  return true;
}

// The section cut or lengthened to `bars` bars as the model sees it.
void ModelBars(TModel& model, std::uint32_t oldBars, std::uint32_t bars, bool repeat) {
  const std::uint32_t end = bars * kBar;
  for (TNoteList& list : model.parts) {
    if (repeat && bars > oldBars) {
      TNoteList original;
      for (TEditNote note : list) {
        if (note.tick >= oldBars * kBar) continue;
        note.length = std::min(note.length, oldBars * kBar - note.tick);
        original.push_back(note);
      }
      for (std::uint32_t copy = oldBars; copy < bars; copy += oldBars) {
        for (TEditNote note : original) {
          note.tick += copy * kBar;
          if (note.tick >= end) continue;
          note.length = std::min(note.length, end - note.tick);
          list.push_back(note);
        }
      }
      ModelTidy(list);
    }
    TNoteList fitted;
    for (TEditNote note : list) {
      if (note.tick >= end) continue;
      note.length = std::min(note.length, end - note.tick);
      fitted.push_back(note);
    }
    list = fitted;
  }
  model.end = end;
}

// ---------------------------------------------------------------------------------------------
// The rhythm the sequences start from: two sections of random notes, built and arranged as the
// example generator does, with notes of one key back to back (a note-off and a note-on of one
// key at one tick, which the render's order of equal times could cut).

TPartStream RandomPart(std::mt19937& random, int part, std::uint32_t end) {
  TTimedPart timed;
  const int keys[kPartCount][3] = {
      {36, 38, 42}, {36, 40, 43}, {60, 64, 67}, {48, 52, 55}, {72, 76, 79}};
  for (const int key : keys[part]) {
    std::uint32_t tick = 12 * std::uniform_int_distribution<std::uint32_t>(0, 8)(random);
    while (tick < end) {
      const std::uint32_t length = 12 * std::uniform_int_distribution<std::uint32_t>(1, 6)(random);
      const std::uint32_t gap = 12 * std::uniform_int_distribution<std::uint32_t>(0, 4)(random);
      timed.Add(tick, static_cast<std::uint8_t>(key),
                static_cast<std::uint8_t>(std::uniform_int_distribution<int>(1, 127)(random)),
                std::min(length, end - tick));
      tick += length + gap;
    }
  }
  return timed.Build(end);
}

TRhythmSlot RandomRhythm(std::mt19937& random) {
  TRhythmBuilder builder(120, TimeSignatureByte(4, 2));
  for (int section = 0; section < kSectionCount; ++section) {
    builder.Bars(section, 2);
    for (int part = 0; part < kPartCount; ++part)
      builder.Part(section, part, TTimedPart().Build(2 * kBar));
  }
  for (const int section : {kSection, kOtherSection}) {
    for (int part = 0; part < kPartCount; ++part) {
      builder.Part(section, part, RandomPart(random, part, 2 * kBar));
    }
  }
  TRhythmSlot slot = builder.Slot();
  slot.fileName = "model.ckf";
  ArrangeSectionForSendOrder(slot, kSection);
  ArrangeSectionForSendOrder(slot, kOtherSection);
  return slot;
}

// What a save writes; the slot as the main file of documents of its own.
std::vector<std::uint8_t> Saved(const TRhythmSlot& slot) {
  TRhythmDocuments docs;
  docs.slots[kMainSlot] = slot;
  return BuildSaveImage(docs).bytes;
}

TEventBuffer Rendered(const TRhythmSlot& slot, int section) {
  std::vector<TRenderEvent> events;
  TEventBuffer buffer;
  RenderSectionEvents(slot, section, events, buffer);
  return buffer;
}

// Checks after each step: the section plays the model, the other section is untouched, and the
// document saves, loads back and renders the same.
void ExpectDocumentPlays(const TRhythmSlot& slot, const TModel& model, const TRhythmSlot& start) {
  const TSectionNotes plays = ReadSectionNotes(slot, kSection);
  for (int part = 0; part < kPartCount; ++part) {
    ASSERT_EQ(plays.parts[static_cast<std::size_t>(part)],
              model.parts[static_cast<std::size_t>(part)])
        << "part " << part;
  }
  ASSERT_EQ(plays.end, model.end);
  ASSERT_EQ(slot.streams[kOtherSection], start.streams[kOtherSection]);
  const std::vector<std::uint8_t> bytes = Saved(slot);
  ASSERT_FALSE(bytes.empty());
  const TLoadOutcome loaded = ReadRhythm("model.ckf", bytes);
  ASSERT_EQ(loaded.status, TLoadStatus::kLoaded) << loaded.message;
  ASSERT_EQ(Rendered(loaded.rhythm->slot, kSection), Rendered(slot, kSection));
  ASSERT_EQ(loaded.rhythm->slot.eventCounts, slot.eventCounts);
}

TEST(NoteEditing, RandomEditSequencesPlayWhatAPlainNoteListSays) {
  std::mt19937 random(20261209);
  const auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  constexpr int kSequences = 1500;
  constexpr int kSteps = 12;
  std::size_t refused = 0;
  std::size_t applied = 0;
  for (int sequence = 0; sequence < kSequences; ++sequence) {
    const TRhythmSlot start = RandomRhythm(random);
    const std::vector<std::uint8_t> original = Saved(start);
    TRhythmSlot slot = start;
    TEditHistory history;
    TModel model = ModelOf(ReadSectionNotes(slot, kSection));
    std::vector<TModel> undone;
    std::vector<TModel> redone;
    const TPatternMeter meter = SlotMeter(slot);
    for (int step = 0; step < kSteps; ++step) {
      SCOPED_TRACE("sequence " + std::to_string(sequence) + " step " + std::to_string(step));
      // A selection of one to three notes, of one part or of several.
      TSelection selection;
      const int part = pick(0, kPartCount - 1);
      for (int n = pick(1, 3); n > 0; --n) {
        const int from = pick(0, 3) == 0 ? pick(0, kPartCount - 1) : part;
        const TNoteList& list = model.parts[static_cast<std::size_t>(from)];
        if (list.empty()) continue;
        const TEditNote& note =
            list[static_cast<std::size_t>(pick(0, static_cast<int>(list.size()) - 1))];
        const TNoteId id{from, note.tick, note.key};
        if (std::find(selection.begin(), selection.end(), id) == selection.end()) {
          selection.push_back(id);
        }
      }
      const TSectionNotes notes = ReadSectionNotes(slot, kSection);
      const TModel before = model;
      TPicked picked = TakeSelected(model, selection);
      std::optional<TNotesEdit> edit;
      std::optional<std::uint16_t> bars;
      bool fits = true;
      const int kind = pick(0, 10);
      if (kind == 0) {
        model = before;
        const TEditNote note{
            static_cast<std::uint32_t>(12 * pick(0, 70)), static_cast<std::uint8_t>(pick(30, 90)),
            static_cast<std::uint8_t>(pick(1, 127)), static_cast<std::uint32_t>(pick(1, 96))};
        edit = AddNote(notes, part, note);
        fits = PutIfFits(model, before, {{part, note}});
      } else if (kind == 1) {
        edit = RemoveNotes(notes, selection);
        fits = !picked.empty();
        if (!fits) model = before;
      } else if (kind == 2) {
        const std::int64_t ticks = 12 * pick(-6, 6);
        const int keys = pick(-2, 2);
        edit = MoveNotes(notes, selection, ticks, keys);
        fits = !picked.empty() && PutIfFits(model, before, picked, ticks, keys);
      } else if (kind == 3) {
        const std::int64_t ticks = pick(-60, 60);
        for (auto& entry : picked) {
          entry.second.length = static_cast<std::uint32_t>(
              std::max<std::int64_t>(1, std::int64_t{entry.second.length} + ticks));
        }
        edit = ResizeNotes(notes, selection, ticks);
        fits = !picked.empty() && PutIfFits(model, before, picked);
      } else if (kind == 4) {
        const int velocity = pick(1, 127);
        for (auto& entry : picked) entry.second.velocity = static_cast<std::uint8_t>(velocity);
        edit = SetVelocity(notes, selection, velocity);
        fits = !picked.empty() && PutIfFits(model, before, picked);
      } else if (kind == 5) {
        const TSnapGrid grid(meter, kSnapSteps[static_cast<std::size_t>(pick(1, 8))]);
        const int strength = std::array{100, 75, 50}[static_cast<std::size_t>(pick(0, 2))];
        const int swing = pick(50, 75);
        for (auto& [where, note] : picked) {
          const double wanted = grid.Swung(note.tick, swing);
          const double moved = (wanted - note.tick) * strength / 100.0;
          auto tick = static_cast<std::int64_t>(note.tick + std::floor(moved + 0.5));
          tick = std::min<std::int64_t>(tick, model.end - 1);
          note.tick = static_cast<std::uint32_t>(tick);
          note.length = std::min(note.length, model.end - note.tick);
        }
        edit = QuantizeNotes(notes, selection, grid, strength, swing);
        fits = !picked.empty() && PutIfFits(model, before, picked);
      } else if (kind == 6) {
        const TSnapGrid grid(meter, TSnapStep::kSixteenth);
        const TNoteClipboard clipboard = CopyNotes(notes, selection, grid, 96);
        std::uint32_t first = 0xFFFF;
        for (const auto& entry : picked) first = std::min(first, entry.second.tick);
        const std::uint32_t at = kBar * static_cast<std::uint32_t>(pick(0, 1));
        const std::int64_t shift = std::int64_t{at} - first / kBar * kBar;
        edit = PasteNotes(notes, clipboard, at, 96);
        // The originals stay; the copies join them.
        model = before;
        fits = !picked.empty() && PutIfFits(model, before, picked, shift);
      } else if (kind == 7) {
        model = before;
        const auto oldBars = static_cast<std::uint16_t>(model.end / kBar);
        bars = static_cast<std::uint16_t>(pick(1, 4));
        const bool repeat = pick(0, 1) == 1;
        edit = SetBarCount(notes, meter, oldBars, *bars, repeat);
        ModelBars(model, oldBars, *bars, repeat);
      } else if (kind == 8 || kind == 9) {
        model = before;
        const bool undo = kind == 8;
        std::vector<TModel>& from = undo ? undone : redone;
        std::vector<TModel>& to = undo ? redone : undone;
        const auto change = undo ? history.Undo(slot) : history.Redo(slot);
        ASSERT_EQ(change.has_value(), !from.empty());
        if (change) {
          to.push_back(model);
          model = from.back();
          from.pop_back();
        }
      } else {
        const int keys = pick(-3, 3);
        model = before;
        TSelection every;
        for (const TEditNote& note : before.parts[static_cast<std::size_t>(part)]) {
          every.push_back({part, note.tick, note.key});
        }
        const TPicked all = TakeSelected(model, every);
        edit = TransposePart(notes, part, keys);
        fits = PutIfFits(model, before, all, 0, keys);
      }
      if (edit) {
        const std::size_t done = history.UndoCount();
        const TRhythmSlot was = slot;
        const TEditOutcome outcome = ApplySectionEdit(slot, kSection, *edit, history, bars);
        ASSERT_EQ(!outcome.refusal, fits) << outcome.refusal.value_or("applied");
        if (outcome.refusal) {
          ++refused;
          ASSERT_EQ(slot.streams, was.streams);
          ASSERT_EQ(slot.header.bytes, was.header.bytes);
          ASSERT_EQ(history.UndoCount(), done);
        } else {
          // A step is recorded exactly when the notes changed.
          const bool recorded = history.UndoCount() == done + 1 && !history.CanRedo();
          ASSERT_EQ(recorded, !(model == before));
          if (recorded) {
            ++applied;
            ASSERT_EQ(history.UndoName(), edit->name);
            undone.push_back(before);
            redone.clear();
          }
        }
      }
      ASSERT_NO_FATAL_FAILURE(ExpectDocumentPlays(slot, model, start));
    }
    while (history.Undo(slot)) {
    }
    ASSERT_EQ(Saved(slot), original) << "sequence " << sequence;
  }
  // The sequences did both: edits that went through and edits that were refused.
  EXPECT_GT(applied, 5000u);
  EXPECT_GT(refused, 500u);
}

}  // namespace
}  // namespace brondel

namespace brondel {
namespace {

// A rhythm whose Var1 holds `sectionBytes` of part data (a note in Bass, waits of no length
// filling Chord3) and, when `totalBytes` is given, Intro1's Chord3 fills the file up to that
// total length. The other sections' parts hold nothing, as sections may in a file.
TRhythmSlot FilledRhythm(std::size_t sectionBytes, std::size_t totalBytes = 0) {
  TRhythmBuilder builder(120, TimeSignatureByte(4, 2));
  for (int section = 0; section < kSectionCount; ++section) {
    builder.Bars(section, 2);
    for (int part = 0; part < kPartCount; ++part) builder.Part(section, part, {});
  }
  for (int part = 0; part < kPartCount; ++part) {
    builder.Part(kSection, part, TTimedPart().Build(2 * kBar));
  }
  builder.Part(kSection, 1, TTimedPart().Add(0, 36, 100, 96).Build(2 * kBar));
  // A part of `bytes` that ends with the section: waits, the last of them of no length.
  const auto filler = [](std::size_t bytes) {
    TPartBuilder part;
    part.Wait(2 * kBar);
    while (part.Records().size() + 2 * kRecordSize <= bytes) part.Wait(0);
    return part.Record(TRhythmRecord::End()).Records();
  };
  const std::size_t others =
      SectionDataSize(builder.Slot(), kSection) - builder.Slot().streams[kSection][4].size();
  builder.Part(kSection, 4, filler(sectionBytes - others));
  if (totalBytes > 0) builder.Part(0, 4, filler(totalBytes - TotalLength(builder.Slot().streams)));
  TRhythmSlot slot = builder.Slot();
  slot.fileName = "full.ckf";
  return slot;
}

// An edit that is refused leaves every byte and the history as they were.
void ExpectRefused(TRhythmSlot& slot, const TNotesEdit& edit, const std::string& why,
                   std::optional<std::uint16_t> bars = {}) {
  const TRhythmSlot was = slot;
  TEditHistory history;
  const TEditOutcome outcome = ApplySectionEdit(slot, kSection, edit, history, bars);
  ASSERT_TRUE(outcome.refusal);
  EXPECT_EQ(*outcome.refusal, why);
  EXPECT_EQ(slot.streams, was.streams);
  EXPECT_EQ(slot.header.bytes, was.header.bytes);
  EXPECT_EQ(slot.eventCounts, was.eventCounts);
  EXPECT_FALSE(history.CanUndo());
  EXPECT_FALSE(history.Modified());
}

TEST(NoteEditingRefusals, ASectionPastItsBytesIsRefusedByHowMuch) {
  TRhythmSlot slot = FilledRhythm(kMaxSectionDataSize - 3);
  ASSERT_EQ(SectionDataSize(slot, kSection), kMaxSectionDataSize - 3);
  const TSectionNotes notes = ReadSectionNotes(slot, kSection);
  // A note after the Bass note: its note-on and note-off, 6 bytes, 3 too many.
  ExpectRefused(slot, AddNote(notes, 1, {96, 40, 100, 24}),
                "Add note: Var1 would hold 64,998 bytes, 3 more than the 64,995 a section may "
                "hold");
  // At the limit it fits, and the status says so.
  TRhythmSlot fits = FilledRhythm(kMaxSectionDataSize - 6);
  TEditHistory history;
  EXPECT_FALSE(ApplySectionEdit(fits, kSection,
                                AddNote(ReadSectionNotes(fits, kSection), 1, {96, 40, 100, 24}),
                                history)
                   .refusal);
  EXPECT_EQ(ByteUseText(ByteUse(fits, kSection), kSection),
            "Var1: 64,995 of 64,995 bytes; rhythm: 65,535 of 65,535 bytes");
}

TEST(NoteEditingRefusals, ARhythmPastTheFileBytesIsRefusedByHowMuch) {
  TRhythmSlot slot = FilledRhythm(6000, kMaxTotalLength - 3);
  ASSERT_EQ(TotalLength(slot.streams), kMaxTotalLength - 3);
  ExpectRefused(slot, AddNote(ReadSectionNotes(slot, kSection), 1, {96, 40, 100, 24}),
                "Add note: The rhythm would be 65,538 bytes long, 3 more than the 65,535 a file "
                "may hold");
  // A rhythm already past the bound (a file's parts may share data) may still shrink.
  TRhythmSlot over = FilledRhythm(6000, kMaxTotalLength + 30);
  TEditHistory history;
  EXPECT_FALSE(ApplySectionEdit(over, kSection,
                                RemoveNotes(ReadSectionNotes(over, kSection), {{1, 0, 36}}),
                                history)
                   .refusal);
}

TEST(NoteEditingRefusals, PlacesOutsideTheSectionAndTheTimelineAreRefused) {
  TRhythmSlot slot = FilledRhythm(100);
  const TSectionNotes notes = ReadSectionNotes(slot, kSection);
  const TSelection bass{{1, 0, 36}};
  ExpectRefused(slot, MoveNotes(notes, bass, -12, 0),
                "Move 1 note: a note would start 12 ticks before the section's start");
  ExpectRefused(slot, MoveNotes(notes, bass, 700, 0),
                "Move 1 note: a note would end 28 ticks after the section's end (tick 768)");
  ExpectRefused(slot, MoveNotes(notes, bass, 0, 92),
                "Transpose 1 note: a note would go 1 keys above key 127");
  ExpectRefused(slot, ResizeNotes(notes, bass, 700),
                "Resize 1 note: a note would end 28 ticks after the section's end (tick 768)");
  ExpectRefused(slot, AddNote(notes, 1, {760, 40, 100, 24}),
                "Add note: a note would end 16 ticks after the section's end (tick 768)");
  const TPatternMeter meter = SlotMeter(slot);
  ExpectRefused(slot, SetBarCount(notes, meter, 2, 171, false),
                "Set bar count to 171: the section would end at tick 65,664, 129 ticks past the "
                "last tick (65,535) a section has",
                171);
  // 170 bars end at tick 65,280: that fits.
  TEditHistory history;
  EXPECT_FALSE(ApplyBarCount(slot, kSection, 170, true, history).refusal);
  EXPECT_EQ(SectionEditEnd(slot, kSection), 65280u);
  EXPECT_EQ(slot.header.BarCount(kSection), 170);
  EXPECT_EQ(ReadSectionNotes(slot, kSection).parts[1].size(), 85u) << "the bass note repeated";
}

TEST(NoteEditing, ShorteningASectionCountsTheNotesRemovedAndShortened) {
  TRhythmSlot slot = FilledRhythm(100);
  TEditHistory history;
  const TSelection bass{{1, 0, 36}};
  ASSERT_FALSE(ApplySectionEdit(slot, kSection,
                                ResizeNotes(ReadSectionNotes(slot, kSection), bass, 400), history)
                   .refusal);
  ASSERT_FALSE(ApplySectionEdit(slot, kSection,
                                AddNote(ReadSectionNotes(slot, kSection), 1, {600, 40, 90, 24}),
                                history)
                   .refusal);
  const TEditOutcome shortened = ApplyBarCount(slot, kSection, 1, false, history);
  EXPECT_EQ(shortened.message, "1 note removed, 1 note shortened");
  EXPECT_EQ(ReadSectionNotes(slot, kSection).parts[1], (TNoteList{{0, 36, 100, 384}}));
  EXPECT_EQ(SectionLength(slot, kSection), 384);
  EXPECT_EQ(history.UndoName(), "Set bar count to 1");
  EXPECT_TRUE(history.Modified());
  history.MarkSaved();
  EXPECT_FALSE(history.Modified());
  history.Undo(slot);
  EXPECT_TRUE(history.Modified());
  history.Redo(slot);
  EXPECT_FALSE(history.Modified());
}

// ---------------------------------------------------------------------------------------------
// The snap grid

TEST(SnapGrid, StepsFollowTheTicksPerQuarterNoteAndRoundEachLine) {
  const TPatternMeter common{4, 4, 96};
  EXPECT_EQ(TSnapGrid(common, TSnapStep::kSixteenth).Next(0), 24u);
  EXPECT_EQ(TSnapGrid(common, TSnapStep::kEighthTriplet).Next(40), 64u);
  EXPECT_EQ(TSnapGrid(common, TSnapStep::kBar).Floor(400), 384u);
  EXPECT_EQ(TSnapGrid(common, TSnapStep::kOff).Nearest(401), 401u);
  EXPECT_EQ(TSnapGrid(common, TSnapStep::kSixteenth).Nearest(11), 0u);
  EXPECT_EQ(TSnapGrid(common, TSnapStep::kSixteenth).Nearest(12), 24u) << "halves go later";
  EXPECT_EQ(TSnapGrid(common, TSnapStep::kSixteenth).Previous(24), 0u);
  // 100 ticks a quarter note: a 1/16T lasts 16 2/3 ticks; its lines are rounded one by one.
  const TSnapGrid thirds({4, 4, 100}, TSnapStep::kSixteenthTriplet);
  std::vector<std::uint32_t> lines{0};
  while (lines.back() < 100) lines.push_back(thirds.Next(lines.back()));
  EXPECT_EQ(lines, (std::vector<std::uint32_t>{0, 17, 33, 50, 67, 83, 100}));
  // In 3/4 a 1/2 does not fill a bar: its last step ends at the bar line.
  const TSnapGrid halves({3, 4, 96}, TSnapStep::kHalf);
  EXPECT_EQ(halves.Next(200), 288u);
  EXPECT_EQ(halves.Next(288), 480u);
}

TEST(SnapGrid, SwingMovesEveryOtherLineAndTheDefaultFollowsTheMeter) {
  const TSnapGrid sixteenths({4, 4, 96}, TSnapStep::kSixteenth);
  EXPECT_EQ(sixteenths.Swung(24, 50), 24u);
  EXPECT_EQ(sixteenths.Swung(24, 60), 29u);  // 48 x 0.60 = 28.8
  EXPECT_EQ(sixteenths.Swung(20, 75), 36u);
  EXPECT_EQ(sixteenths.Swung(48, 75), 48u) << "the first line of a pair stays";
  EXPECT_EQ(DefaultSnapStep({6, 8, 96}), TSnapStep::kEighthTriplet);
  EXPECT_EQ(DefaultSnapStep({3, 4, 96}), TSnapStep::kSixteenth);
  EXPECT_EQ(SnapStepName(TSnapStep::kQuarterTriplet), "1/4T");
}

}  // namespace
}  // namespace brondel
