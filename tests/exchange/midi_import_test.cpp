// The MIDI import on files written by the test itself, as other programs write them: formats 0
// and 1 at divisions 96, 480 and 960, running status, note-offs of both kinds, tempo changes,
// notes on many channels, system exclusive and meta events to skip. One part: its records, its
// section's length and count, its sounds, the notes left out, cut or closed, and refusals that
// change nothing. A whole rhythm: sections from file names or markers, parts from track names or
// channels, ticks per quarter note, tempo, time signature, bars, and refusals naming the file.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <utility>

#include "document/rhythm_builder.h"
#include "document/rhythm_loader.h"
#include "document/rhythm_timing.h"
#include "examples/generator/example_rhythms.h"
#include "exchange/midi_import.h"
#include "tests/support/midi_file_support.h"
#include "tests/support/rhythm_text.h"
#include "tests/support/smf_writer.h"
#include "tests/support/stream_events.h"
#include "tests/support/test_files.h"

namespace brondel {
namespace {

using platform::TMidiFile;
using test::RecordTiming;
using test::SameRecords;
using test::SmfFile;
using test::TSmfTrackWriter;

constexpr std::uint8_t k44 = 0x22;
constexpr std::uint8_t k34 = 0x1A;
constexpr int kVar1 = 2;
constexpr int kBass = 1;
const TMidiSource kTrack1{TMidiSource::TKind::kTrack, 1};

TMidiFile Smf(int format, int division, const std::vector<TSmfTrackWriter>& tracks) {
  return test::MidiFileOf(SmfFile(format, division, tracks));
}

TMidiSource Channel(int channelFromOne) {
  return {TMidiSource::TKind::kChannel, channelFromOne - 1};
}

/// A 4/4 rhythm at tempo 100 whose sections are 2 bars of 96 ticks a quarter note (768 ticks),
/// every part a note and its end there.
TRhythmSlot Rhythm() {
  TRhythmBuilder rhythm(100, k44);
  for (int section = 0; section < kSectionCount; ++section) {
    rhythm.Bars(section, 2);
    for (int part = 0; part < kPartCount; ++part) {
      rhythm.Settings(section, part, PartSettings(1, 2, 3, 4, 5, 6));
      rhythm.Part(section, part, TTimedPart().Add(0, 60, 100, 96).Build(768));
    }
  }
  return rhythm.Slot();
}

TMidiImportOutcome Import(TRhythmSlot& slot, const TMidiFile& file, TMidiSource source,
                          bool sounds = false, int part = kBass) {
  return ImportMidiPart(slot, "in.mid", file, {kVar1, part, source, sounds});
}

const TPartStream& Bass(const TRhythmSlot& slot) {
  return slot.streams[kVar1][kBass];
}

std::vector<std::string> SentBass(const TRhythmSlot& slot) {
  return test::SentNotes(slot, kVar1, kBass);
}

// --- Sources ----------------------------------------------------------------------------------

TEST(MidiSources, ListTracksWithTheirNamesAndChannelsThenChannels) {
  const TMidiFile file =
      Smf(1, 96,
          {TSmfTrackWriter().Name("Conductor").Tempo(0, 500000).End(0),
           TSmfTrackWriter()
               .Name("Keys")
               .Event(0, {0x90, 60, 100})
               .Event(0, {0x91, 64, 100})
               .Event(10, {0x80, 60, 0})
               .Event(0, {0x81, 64, 0})
               .End(0),
           TSmfTrackWriter().Event(0, {0x99, 36, 100}).Event(5, {36, 0}).End(0)});
  std::vector<std::string> texts;
  for (const TMidiSourceInfo& info : ListMidiSources(file))
    texts.push_back(DescribeMidiSource(info));
  EXPECT_EQ(texts, (std::vector<std::string>{"Track 2 \"Keys\" (channels 1, 2): 2 notes",
                                             "Track 3 (channel 10): 1 note", "Channel 1: 1 note",
                                             "Channel 2: 1 note", "Channel 10: 1 note"}));
}

TEST(MidiSources, PartsFromTrackNamesElseDrumsOnChannel10AndChannelsByFirstNote) {
  const TMidiFile named = Smf(1, 96,
                              {TSmfTrackWriter().Name(" bass ").Event(0, {0x90, 40, 1}).End(0),
                               TSmfTrackWriter().Name("DRUMS").End(0),
                               TSmfTrackWriter().Name("Strings").Event(0, {0x95, 70, 1}).End(0)});
  const TPartSources byName = AssignPartSources(named);
  EXPECT_EQ(byName.parts[0], (TMidiSource{TMidiSource::TKind::kTrack, 1}));
  EXPECT_EQ(byName.parts[1], (TMidiSource{TMidiSource::TKind::kTrack, 0}));
  EXPECT_FALSE(byName.parts[2].has_value());
  EXPECT_EQ(byName.leftOut, (std::vector<TMidiSource>{{TMidiSource::TKind::kTrack, 2}}));

  // Format 0: channel 10 is Drums, then channels 3, 1, 5, 2 by their first notes; 7 is left out.
  const TMidiFile channels = Smf(0, 96,
                                 {TSmfTrackWriter()
                                      .Event(0, {0x92, 50, 1})
                                      .Event(0, {0x99, 36, 1})
                                      .Event(5, {0x90, 51, 1})
                                      .Event(5, {0x94, 52, 1})
                                      .Event(0, {0x91, 53, 1})
                                      .Event(5, {0x96, 54, 1})
                                      .End(0)});
  const TPartSources byChannel = AssignPartSources(channels);
  EXPECT_EQ(byChannel.parts[0], Channel(10));
  EXPECT_EQ(byChannel.parts[1], Channel(3));
  EXPECT_EQ(byChannel.parts[2], Channel(1));
  EXPECT_EQ(byChannel.parts[3], Channel(2));
  EXPECT_EQ(byChannel.parts[4], Channel(5));
  EXPECT_EQ(byChannel.leftOut, std::vector<TMidiSource>{Channel(7)});
}

TEST(MidiSources, TheDialogProposesThePartsOwnSourceElseTheFirst) {
  const TMidiFile file = Smf(1, 96,
                             {TSmfTrackWriter().Name("Chords").Event(0, {0x90, 60, 1}).End(0),
                              TSmfTrackWriter().Name("Bass").Event(0, {0x91, 40, 1}).End(0)});
  const auto sources = ListMidiSources(file);
  EXPECT_EQ(ProposedMidiSource(file, sources, kBass), 1);  // Track 2 "Bass"
  EXPECT_EQ(ProposedMidiSource(file, sources, 0), 0);      // no drums: the first
}

// --- One part ---------------------------------------------------------------------------------

TEST(ImportMidiPart, MapsAForeignFilesTicksAndKeepsItsOrder) {
  // Format 0 at 480 ticks a quarter note: a bass line on channel 11 in running status, with
  // note-offs of both kinds, between drums, a system exclusive message and meta events.
  const TMidiFile file = Smf(0, 480,
                             {TSmfTrackWriter()
                                  .SysEx(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})
                                  .Tempo(0, 600000)
                                  .Event(0, {0x9A, 40, 100})
                                  .Event(0, {0x99, 36, 90})
                                  .Event(240, {40, 0})  // running status on channel 10
                                  .Event(0, {0x9A, 40, 0})
                                  .Meta(0, 0x01, {'h', 'i'})
                                  .Event(2, {0x9A, 43, 80})     // at 242: 48.4 rounds to 48
                                  .Event(3, {0x8A, 43, 64})     // at 245: 49
                                  .Event(1675, {0x9A, 45, 70})  // at 1920: 384
                                  .Event(1920, {45, 0})         // at 3840: 768, the end
                                  .End(0)});
  TRhythmSlot slot = Rhythm();
  const TRhythmSlot before = slot;
  const TMidiImportOutcome outcome = Import(slot, file, Channel(11));
  ASSERT_FALSE(outcome.refusal) << outcome.refusal->Text();
  EXPECT_TRUE(outcome.notices.empty());
  EXPECT_EQ(SentBass(slot), (std::vector<std::string>{"0: 40 100", "48: 40 0", "48: 43 80",
                                                      "49: 43 0", "384: 45 70", "768: 45 0"}));
  // Steps of up to 255 ticks, a wait before a longer gap, the end record at the section's end.
  EXPECT_TRUE(SameRecords(RecordTiming(Bass(slot)), RecordTiming(TPartBuilder()
                                                                     .Note(0, 0, 0)
                                                                     .Note(48, 0, 0)
                                                                     .Note(0, 0, 0)
                                                                     .Note(1, 0, 0)
                                                                     .Wait(335)
                                                                     .Note(0, 0, 0)
                                                                     .Wait(384)
                                                                     .Note(0, 0, 0)
                                                                     .End(0))));
  EXPECT_EQ(slot.eventCounts[kVar1], CountSectionEvents(slot, kVar1));
  EXPECT_EQ(slot.eventCounts[kVar1], before.eventCounts[kVar1] + 4);
  EXPECT_EQ(slot.header.Settings(kVar1, kBass), before.header.Settings(kVar1, kBass));
  EXPECT_EQ(slot.streams[kVar1][0], before.streams[kVar1][0]);
}

TEST(ImportMidiPart, TakesTheFirstProgramChangeAndControllersAsSounds) {
  const TMidiFile file =
      Smf(1, 96,
          {TSmfTrackWriter().End(0), TSmfTrackWriter()
                                         .Event(0, {0xC3, 33})
                                         .Event(0, {0xB3, 7, 90})
                                         .Event(0, {0xB3, 91, 20})
                                         .Event(0, {0xB3, 10, 30})
                                         .Event(0, {0xB3, 11, 99})  // no setting
                                         .Event(0, {0xD3, 64})      // channel pressure: no sound
                                         .Event(10, {0x93, 40, 1})
                                         .Event(5, {0xD3, 0})
                                         .Event(10, {0xC3, 34})  // later: ignored
                                         .Event(0, {0xB3, 7, 10})
                                         .Event(0, {0x83, 40, 0})
                                         .End(0)});
  TRhythmSlot withSounds = Rhythm();
  ASSERT_FALSE(Import(withSounds, file, kTrack1, true).refusal);
  EXPECT_EQ(CountNoteOns(SourceMessages(file, {TMidiSource::TKind::kTrack, 1})), 1u);
  EXPECT_EQ(SourceMessages(file, {TMidiSource::TKind::kChannel, 3}).size(), 11u)
      << "every channel message, channel pressure and program changes included";
  // Bank and Chorus are not stated: they keep their values, 2 and 6; bytes 6 and 7 stay.
  EXPECT_EQ(withSounds.header.Settings(kVar1, kBass), PartSettings(33, 2, 90, 30, 20, 6));
  TRhythmSlot without = Rhythm();
  ASSERT_FALSE(Import(without, file, kTrack1, false).refusal);
  EXPECT_EQ(without.header.Settings(kVar1, kBass), PartSettings(1, 2, 3, 4, 5, 6));
}

TEST(ImportMidiPart, LeavesOutNotesPastTheEndAndEndsSoundingOnesThere) {
  // The section ends at 768: a note at 768 and one at 900 are left out, one from 700 to 800
  // ends at 768, and the note-off after the end is gone with it.
  const TMidiFile file = Smf(1, 96,
                             {TSmfTrackWriter()
                                  .Event(0, {0x90, 50, 1})
                                  .Event(700, {0x90, 51, 1})
                                  .Event(68, {0x90, 52, 1})
                                  .Event(0, {0x80, 50, 0})
                                  .Event(32, {0x80, 51, 0})
                                  .Event(100, {0x90, 53, 1})
                                  .End(0)});
  TRhythmSlot slot = Rhythm();
  const TMidiImportOutcome outcome = Import(slot, file, {TMidiSource::TKind::kTrack, 0});
  ASSERT_FALSE(outcome.refusal);
  EXPECT_EQ(SentBass(slot),
            (std::vector<std::string>{"0: 50 1", "700: 51 1", "768: 50 0", "768: 51 0"}));
  EXPECT_EQ(PartEndTime(Bass(slot)), 768);
  EXPECT_EQ(outcome.notices,
            (std::vector<std::string>{
                "Var1:Bass: 2 notes starting at the section's end (tick 768) or later left out",
                "Var1:Bass: 1 note still sounding at the section's end (tick 768) cut there"}));
}

TEST(ImportMidiPart, PadsAShorterSourceToTheSectionsEnd) {
  const TMidiFile file =
      Smf(1, 96, {TSmfTrackWriter().Event(10, {0x90, 50, 1}).Event(10, {0x80, 50, 0}).End(0)});
  TRhythmSlot slot = Rhythm();
  ASSERT_FALSE(Import(slot, file, {TMidiSource::TKind::kTrack, 0}).refusal);
  EXPECT_TRUE(
      SameRecords(Bass(slot), TPartBuilder().Note(10, 50, 1).Note(10, 50, 0).Wait(748).End(0)));
  EXPECT_EQ(PartEndTime(Bass(slot)), 768);
}

TEST(ImportMidiPart, ClosesANoteWhoseKeyStartsAgainBeforeItEnds) {
  // Key 50 from 0 to 100 and from 50 to 150: the first is closed at 50, its note-off at 100
  // goes (it ends the first note, first in first out), the second lasts to 150. A note-on and a
  // note-off of key 52 at one tick ending one note and starting the next: the note-off first.
  const TMidiFile file = Smf(1, 96,
                             {TSmfTrackWriter()
                                  .Event(0, {0x90, 50, 1})
                                  .Event(0, {0x90, 52, 1})
                                  .Event(50, {0x90, 50, 2})
                                  .Event(0, {0x90, 52, 3})
                                  .Event(0, {0x80, 52, 0})
                                  .Event(50, {0x80, 50, 0})
                                  .Event(0, {0x80, 52, 0})
                                  .Event(50, {0x80, 50, 0})
                                  .End(0)});
  TRhythmSlot slot = Rhythm();
  const TMidiImportOutcome outcome = Import(slot, file, {TMidiSource::TKind::kTrack, 0});
  ASSERT_FALSE(outcome.refusal);
  EXPECT_EQ(SentBass(slot),
            (std::vector<std::string>{"0: 50 1", "0: 52 1", "50: 50 0", "50: 50 2", "50: 52 0",
                                      "50: 52 3", "100: 52 0", "150: 50 0"}));
  EXPECT_EQ(outcome.notices,
            std::vector<std::string>{"Var1:Bass: 1 note cut where its key starts again"});
}

TEST(ImportMidiPart, IsSentInTheFilesOrderWhereTheRenderWouldSwapEqualTimes) {
  // The other parts end at 768 and the drums hold a note at 40: without arranging, the sort
  // would send the bass's note-off and note-on of key 45 at 96 the other way round.
  const TMidiFile file = Smf(1, 96,
                             {TSmfTrackWriter()
                                  .Event(0, {0x90, 45, 1})
                                  .Event(96, {0x80, 45, 0})
                                  .Event(0, {0x90, 45, 2})
                                  .Event(96, {0x80, 45, 0})
                                  .End(0)});
  TRhythmSlot slot = Rhythm();
  ReplacePartStream(slot, kVar1, 0, TTimedPart().Add(40, 36, 1, 10).Build(768));
  ASSERT_FALSE(Import(slot, file, {TMidiSource::TKind::kTrack, 0}).refusal);
  EXPECT_EQ(SentBass(slot),
            (std::vector<std::string>{"0: 45 1", "96: 45 0", "96: 45 2", "192: 45 0"}));
}

TEST(ImportMidiPart, MapsTicksOntoARhythmOfOtherTicksPerQuarterNote) {
  // A rhythm of 120 ticks a quarter note (2 bars of 4/4 in 960 ticks); a file at 960: tick 100
  // lands on 12.5, rounded up to 13, tick 980 on 122.5, to 123.
  TRhythmBuilder builder(100, k44);
  for (int section = 0; section < kSectionCount; ++section) {
    builder.Bars(section, 2);
    for (int part = 0; part < kPartCount; ++part) {
      builder.Part(section, part, TTimedPart().Build(960));
    }
  }
  TRhythmSlot slot = builder.Slot();
  ASSERT_EQ(TicksPerQuarterNote(slot), 120);
  const TMidiFile file =
      Smf(1, 960, {TSmfTrackWriter().Event(100, {0x90, 50, 1}).Event(880, {0x80, 50, 0}).End(0)});
  ASSERT_FALSE(Import(slot, file, {TMidiSource::TKind::kTrack, 0}).refusal);
  EXPECT_TRUE(
      SameRecords(Bass(slot), TPartBuilder().Note(13, 50, 1).Note(110, 50, 0).Wait(837).End(0)));
}

TEST(ImportMidiPart, RefusesAndChangesNothing) {
  const TRhythmSlot original = Rhythm();
  const auto refusal = [&](const TMidiFile& file, TMidiSource source, TRhythmSlot slot) {
    const TRhythmSlot before = slot;
    const TMidiImportOutcome outcome =
        ImportMidiPart(slot, "in.mid", file, {kVar1, kBass, source, true});
    EXPECT_EQ(slot.streams, before.streams);
    EXPECT_EQ(slot.header.bytes, before.header.bytes);
    EXPECT_EQ(slot.eventCounts, before.eventCounts);
    return outcome.refusal ? outcome.refusal->Text() : std::string("imported");
  };
  const TMidiFile noNotes = Smf(1, 96, {TSmfTrackWriter().Name("x").Event(0, {0xC0, 5}).End(96)});
  EXPECT_EQ(refusal(noNotes, kTrack1, original), "in.mid: holds no notes");
  const TMidiFile twoTracks =
      Smf(1, 96, {TSmfTrackWriter().Event(0, {0x90, 50, 1}).End(0), TSmfTrackWriter().End(0)});
  EXPECT_EQ(refusal(twoTracks, kTrack1, original), "in.mid: track 2 holds no notes");
  EXPECT_EQ(refusal(twoTracks, Channel(3), original), "in.mid: channel 3 holds no notes");
  TRhythmSlot silent = original;
  for (int part = 0; part < kPartCount; ++part) {
    ReplacePartStream(silent, kVar1, part, TPartBuilder().End());
  }
  silent.header.SetBarCount(kVar1, 0);
  EXPECT_EQ(refusal(twoTracks, {TMidiSource::TKind::kTrack, 0}, silent),
            "in.mid: Var1 lasts no time (its parts end at once and it has no bars to fill)");
  // 11,000 notes in the section: 22,000 records, more than 64,995 bytes.
  TSmfTrackWriter dense;
  for (int n = 0; n < 11000; ++n) dense.Event(0, {0x90, 50, 1}).Event(0, {0x80, 50, 0});
  EXPECT_EQ(refusal(Smf(1, 96, {dense.End(0)}), {TMidiSource::TKind::kTrack, 0}, original),
            "in.mid: its notes would make the parts of Var1 hold 66054 bytes of data, more than "
            "the 64995 a section can hold");
}

TEST(ImportMidiPart, RefusesAPartThatWouldMakeTheRhythmTooLongForAFile) {
  // Ten drum parts of 6,006 bytes, and 6,006 more in Var1's bass: 67,074 bytes in all.
  TRhythmSlot slot = Rhythm();
  TPartBuilder big;
  for (int n = 0; n < 2000; ++n) big.Note(0, 50, 1);
  const TPartStream bigPart = big.Wait(768).End(0);
  for (int section = 0; section < kSectionCount; ++section) {
    ReplacePartStream(slot, section, 0, bigPart);
  }
  const TRhythmSlot before = slot;
  TSmfTrackWriter notes;
  for (int n = 0; n < 1000; ++n) notes.Event(0, {0x90, 50, 1}).Event(0, {0x80, 50, 0});
  const TMidiImportOutcome outcome =
      Import(slot, Smf(1, 96, {notes.End(0)}), {TMidiSource::TKind::kTrack, 0});
  ASSERT_TRUE(outcome.refusal);
  EXPECT_EQ(outcome.refusal->Text(),
            "in.mid: its notes would make the rhythm 67074 bytes long, more than the 65535 a "
            "rhythm file holds");
  EXPECT_EQ(slot.streams, before.streams);
}

// --- A whole rhythm ---------------------------------------------------------------------------

TNamedMidiFile Named(const std::string& path, const TMidiFile& file) {
  return {path, file};
}

/// A section file as a sequencer writes it: a conductor track with tempo and time signature
/// (`numerator` beats of 1/2^`power`), and a Bass track holding one note per quarter note for
/// `beats` quarter notes of `division` ticks.
TMidiFile SectionFile(int division, std::uint32_t micros, int beats, std::uint8_t numerator = 4,
                      std::uint8_t power = 2) {
  TSmfTrackWriter bass;
  bass.Name("Bass").Event(0, {0xC1, 33}).Event(0, {0xB1, 7, 110});
  const auto d = static_cast<std::uint32_t>(division);
  for (int beat = 0; beat < beats; ++beat) {
    const auto key = static_cast<std::uint8_t>(40 + beat % 5);
    bass.Event(0, {0x91, key, 100}).Event(d / 2, {0x81, key, 0});
    bass.Event(d - d / 2, {0xF0, 1, 0xF7});  // a system exclusive message between the notes
  }
  return Smf(1, division,
             {TSmfTrackWriter()
                  .Tempo(0, micros)
                  .TimeSignature(0, numerator, power)
                  .Tempo(d, 300000)  // a tempo change: the first tempo counts
                  .End(d * static_cast<std::uint32_t>(beats) - d),
              bass.End(0)});
}

TEST(RhythmFromMidi, TakesSectionsFromFileNamesAndKeepsTheirDivisionWhenItFits) {
  // Division 96 at 100 quarter notes a minute: tempo byte 80; 4/4; Var1 of 8 beats, Fill1 of 3
  // (a part bar: one bar, padded to 384 ticks).
  const TMidiRhythm made =
      RhythmFromMidi({Named("dir/Song-var1.mid", SectionFile(96, 600000, 8)),
                      Named("dir/Song-FILL1.mid", SectionFile(96, 600000, 3))});
  ASSERT_TRUE(made.rhythm) << made.outcome.refusal->Text();
  const TRhythmSlot& slot = made.rhythm->slot;
  EXPECT_EQ(slot.fileName, "dir/Song.ckf");
  EXPECT_EQ(made.rhythm->prefix[kTypeByteOffset], kCkfTypeByte);
  EXPECT_EQ(slot.header.Tempo(), 80);
  EXPECT_EQ(slot.header.TimeSignature(), k44);
  EXPECT_EQ(slot.header.BarCount(kVar1), 2);
  EXPECT_EQ(slot.header.BarCount(4), 1);
  EXPECT_EQ(SectionLength(slot, kVar1), 768);
  EXPECT_EQ(SectionLength(slot, 4), 384);
  EXPECT_EQ(CountEvents(slot.streams[kVar1][kBass]), 8 * 2 + 1);
  EXPECT_EQ(slot.header.Settings(kVar1, kBass), PartSettings(33, 0, 110, 64, 40, 0));
  EXPECT_EQ(slot.header.Settings(kVar1, 0), PartSettings(0, 0, 100, 64, 40, 0));
  // Sections no file holds: one bar of empty parts, sounding as the first section given.
  EXPECT_EQ(slot.header.BarCount(0), 1);
  EXPECT_TRUE(SameRecords(slot.streams[0][kBass], TPartBuilder().Wait(384).End(0)));
  EXPECT_EQ(slot.header.Settings(9, kBass), PartSettings(33, 0, 110, 64, 40, 0));
  EXPECT_EQ(slot.eventCounts[kVar1], CountSectionEvents(slot, kVar1));
  // Each file changes its tempo on its first beat.
  EXPECT_EQ(
      made.outcome.notices,
      (std::vector<std::string>{
          "dir/Song-var1.mid: its tempo changes from bar 1 on left out: a rhythm has one tempo",
          "dir/Song-FILL1.mid: its tempo changes from bar 1 on left out: a rhythm has one "
          "tempo"}));
}

TEST(RhythmFromMidi, TakesTicksOf96WhereTheFilesDivisionGivesNoTempoByte) {
  // 480 at 120 a minute would need a tempo byte of 480; at 96 ticks it is 96. A file at 960 and
  // 3/4: the same. Ticks are scaled: a beat of 480 becomes 96.
  for (const int division : {480, 960}) {
    const TMidiRhythm made =
        RhythmFromMidi({Named("Var2.mid", SectionFile(division, 500000, 6, 3))});
    ASSERT_TRUE(made.rhythm) << made.outcome.refusal->Text();
    const TRhythmSlot& slot = made.rhythm->slot;
    EXPECT_EQ(slot.header.Tempo(), 96);
    EXPECT_EQ(slot.header.TimeSignature(), k34);
    EXPECT_EQ(slot.header.BarCount(3), 2);
    EXPECT_EQ(SectionLength(slot, 3), 576);
    EXPECT_EQ(TicksPerQuarterNote(slot), 96);
    EXPECT_TRUE(SameRecords(std::vector<std::uint8_t>(slot.streams[3][kBass].begin(),
                                                      slot.streams[3][kBass].begin() + 12),
                            TPartBuilder()
                                .Note(0, 40, 100)
                                .Note(48, 40, 0)
                                .Note(48, 41, 100)
                                .Note(48, 41, 0)
                                .Records()));
  }
  // 192 ticks at 60 a minute: the tempo byte 96, in range, so the division stays.
  const TMidiRhythm slow = RhythmFromMidi({Named("Var1.mid", SectionFile(192, 1000000, 4))});
  ASSERT_TRUE(slow.rhythm);
  EXPECT_EQ(slow.rhythm->slot.header.Tempo(), 96);
  EXPECT_EQ(SectionLength(slow.rhythm->slot, kVar1), 768);
}

TEST(RhythmFromMidi, TakesSectionsFromMarkersAndPartsFromChannels) {
  // Format 0 at 96, no names: drums on channel 10, a bass on channel 2. Markers: Intro1 at 0,
  // a marker that names no section, Var1 at 384, Fill1 at 768; the file ends at 1152. A note
  // before no section... none: the first marker is at 0. The bass note from 300 to 500 crosses
  // into Var1 and ends at 384; the drum at 768 belongs to Fill1.
  const TMidiFile file = Smf(0, 96,
                             {TSmfTrackWriter()
                                  .Marker(0, "Intro1")
                                  .Event(0, {0x99, 36, 100})
                                  .Event(10, {0x89, 36, 0})
                                  .Marker(90, "Verse")
                                  .Event(200, {0x91, 40, 90})
                                  .Marker(84, " var1 ")
                                  .Event(116, {0x81, 40, 0})
                                  .Event(184, {0x99, 38, 100})
                                  .Marker(84, "Fill1")
                                  .Event(0, {0x99, 36, 100})
                                  .Event(0, {0x89, 38, 0})
                                  .Event(10, {0x89, 36, 0})
                                  .End(374)});
  const TMidiRhythm made = RhythmFromMidi({Named("dir/take.mid", file)});
  ASSERT_TRUE(made.rhythm) << made.outcome.refusal->Text();
  const TRhythmSlot& slot = made.rhythm->slot;
  EXPECT_EQ(slot.fileName, "dir/take.ckf");
  EXPECT_EQ(slot.header.BarCount(0), 1);
  EXPECT_EQ(slot.header.BarCount(kVar1), 1);
  EXPECT_EQ(slot.header.BarCount(4), 1);
  EXPECT_TRUE(SameRecords(slot.streams[0][0],
                          TPartBuilder().Note(0, 36, 100).Note(10, 36, 0).Wait(374).End(0)));
  EXPECT_TRUE(SameRecords(slot.streams[0][kBass],
                          TPartBuilder().Wait(300).Note(0, 40, 90).Note(84, 40, 0).End(0)));
  EXPECT_TRUE(SameRecords(slot.streams[kVar1][kBass], TPartBuilder().Wait(384).End(0)));
  // Drum 38 starts at 684, 300 into Var1, and ends where Fill1 starts: with Var1.
  EXPECT_TRUE(SameRecords(slot.streams[kVar1][0],
                          TPartBuilder().Wait(300).Note(0, 38, 100).Note(84, 38, 0).End(0)));
  EXPECT_TRUE(SameRecords(slot.streams[4][0],
                          TPartBuilder().Note(0, 36, 100).Note(10, 36, 0).Wait(374).End(0)));
  EXPECT_EQ(made.outcome.notices,
            std::vector<std::string>{"dir/take.mid: Intro1:Bass: 1 note still sounding at the "
                                     "section's end (tick 384) cut there"});
}

TEST(RhythmFromMidi, TakesEveryTimeSignatureARhythmHoldsFrom1Over1To31Over128) {
  // The extremes of the byte: a numerator of 1 or 31, a denominator of 2^0 or 2^7.
  for (const auto& [numerator, power] :
       {std::pair<std::uint8_t, std::uint8_t>{1, 7}, {31, 7}, {1, 0}, {31, 0}}) {
    const TMidiRhythm made =
        RhythmFromMidi({Named("a-Var1.mid", SectionFile(96, 500000, 4, numerator, power))});
    ASSERT_TRUE(made.rhythm) << made.outcome.refusal->Text();
    EXPECT_EQ(made.rhythm->slot.header.TimeSignature(), TimeSignatureByte(numerator, power))
        << TimeSignatureText(TimeSignatureByte(numerator, power));
  }
}

TEST(RhythmFromMidi, TakesEveryTempoARhythmHoldsFrom11To249) {
  // At 96 ticks a quarter note the tempo byte is 48,000,000 / us: 249 at 192,771 us (249.0001),
  // 11 at 4,363,636 us (11.000001); 250 and 10 are refused.
  const auto tempoByte = [](std::uint32_t micros) {
    const TMidiRhythm made = RhythmFromMidi({Named("a-Var1.mid", SectionFile(96, micros, 4))});
    return made.rhythm ? made.rhythm->slot.header.Tempo() : 0;
  };
  EXPECT_EQ(tempoByte(192771), 249);
  EXPECT_EQ(tempoByte(4363636), 11);
  EXPECT_EQ(tempoByte(192000), 0);
  EXPECT_EQ(tempoByte(4800000), 0);
}

TEST(RhythmFromMidi, RefusesNamingTheFileAndTheSection) {
  const TMidiFile beat = SectionFile(96, 500000, 4);
  const auto refusal = [](const std::vector<TNamedMidiFile>& files) {
    const TMidiRhythm made = RhythmFromMidi(files);
    EXPECT_FALSE(made.rhythm);
    return made.outcome.refusal ? made.outcome.refusal->Text() : std::string("made");
  };
  EXPECT_EQ(refusal({Named("a-Var1.mid", beat), Named("b.mid", beat)}),
            "b.mid: its name says no section: name each file NAME-Var1.mid, NAME-Fill1.mid ... "
            "(Intro1 ... End2)");
  EXPECT_EQ(refusal({Named("song.mid", beat)}),
            "song.mid: names no section: name it NAME-Var1.mid (Intro1 ... End2), or mark where "
            "each section starts with a marker named after it");
  EXPECT_EQ(refusal({Named("a-Var1.mid", beat), Named("b-var1.mid", beat)}),
            "b-var1.mid: Var1 is given twice (also by a-Var1.mid)");
  EXPECT_EQ(
      refusal({Named("a-Var1.mid", beat), Named("a-Var2.mid", SectionFile(96, 500000, 3, 3))}),
      "a-Var2.mid: its time signature 3/4 differs from 4/4 in a-Var1.mid; a rhythm has one "
      "time signature");
  EXPECT_EQ(refusal({Named("a-Var1.mid", SectionFile(96, 500000, 4, 32))}),
            "a-Var1.mid: its time signature 32/4 does not fit a rhythm (1 to 31 beats of 1/1 to "
            "1/128)");
  EXPECT_EQ(refusal({Named("a-Var1.mid", SectionFile(96, 500000, 4, 1, 8))}),
            "a-Var1.mid: its time signature 1/2^8 does not fit a rhythm (1 to 31 beats of 1/1 "
            "to 1/128)");
  EXPECT_EQ(refusal({Named("a-Var1.mid", SectionFile(96, 500000, 4, 0))}),
            "a-Var1.mid: its time signature 0/4 does not fit a rhythm (1 to 31 beats of 1/1 to "
            "1/128)");
  EXPECT_EQ(refusal({Named("a-Var1.mid", SectionFile(96, 6000000, 4))}),
            "a-Var1.mid: its tempo of 6000000 us a quarter note gives the tempo byte 8 at 96 ticks "
            "a quarter note; a rhythm's tempo is 11 to 249");
  EXPECT_EQ(
      refusal({Named("a-Var1.mid", Smf(1, 96, {TSmfTrackWriter().Event(0, {0xC0, 1}).End(5)}))}),
      "a-Var1.mid: holds no notes");
  // 700 beats of 96 ticks: 67,200 ticks.
  EXPECT_EQ(refusal({Named("a-End1.mid", SectionFile(96, 500000, 700))}),
            "a-End1.mid: End1 lasts 67200 ticks over its 175 bars at 96 ticks a quarter note, more "
            "than the 65,535 of a section");
}

TEST(RhythmFromMidi, RefusesARhythmTooLongForAFile) {
  // Ten sections of 1,100 bass notes a tick each: 2,202 records, 6,630 bytes with the empty
  // parts, 66,840 with the header.
  TSmfTrackWriter bass;
  bass.Name("Bass");
  for (int n = 0; n < 1100; ++n) bass.Event(0, {0x90, 50, 1}).Event(1, {0x80, 50, 0});
  const TMidiFile dense = Smf(1, 96, {bass.End(0)});
  std::vector<TNamedMidiFile> files;
  for (int section = 0; section < kSectionCount; ++section) {
    files.push_back(Named(
        "s-" + std::string(kSectionNames[static_cast<std::size_t>(section)]) + ".mid", dense));
  }
  const TMidiRhythm made = RhythmFromMidi(files);
  ASSERT_FALSE(made.rhythm);
  EXPECT_EQ(made.outcome.refusal->Text(),
            "s-Intro1.mid: the rhythm would be 66840 bytes long, more than the 65535 a rhythm file "
            "holds (Intro1 alone holds 6630)");
}

// --- Files as sequencers write them -------------------------------------------------------

/// E2 quarter notes at 0, 96, 192 and 288 on channel 2, each note-off written after the next
/// note-on of the same tick, as many programs write a repeated note.
TMidiFile RepeatedNotes() {
  TSmfTrackWriter track;
  track.Name("Bass").Event(0, {0x91, 40, 100});
  for (int beat = 1; beat < 4; ++beat) track.Event(96, {0x91, 40, 100}).Event(0, {0x81, 40, 0});
  return Smf(0, 96, {track.Event(96, {0x81, 40, 0}).End(0)});
}

const std::vector<std::string> kRepeatedSent = {"0: 40 100",   "96: 40 0",    "96: 40 100",
                                                "192: 40 0",   "192: 40 100", "288: 40 0",
                                                "288: 40 100", "384: 40 0"};

TEST(MidiImportAsSequencersWriteIt, ARepeatedNoteEndsBeforeItStartsAgain) {
  // Into the test rhythm, into pop_beat's Fill1 (other parts, other ties of the sort), and in a
  // new rhythm: at one tick, the note-off of a key goes out before its note-on.
  TRhythmSlot slot = Rhythm();
  const TMidiImportOutcome outcome = Import(slot, RepeatedNotes(), Channel(2));
  ASSERT_FALSE(outcome.refusal);
  EXPECT_EQ(SentBass(slot), kRepeatedSent);
  EXPECT_TRUE(outcome.notices.empty());

  TLoadOutcome pop = ReadRhythmFile(test::SourcePath("examples/pop_beat.ckf").string());
  ASSERT_TRUE(pop.rhythm);
  constexpr int kFill1 = 4;
  ASSERT_FALSE(
      ImportMidiPart(pop.rhythm->slot, "in.mid", RepeatedNotes(), {kFill1, kBass, Channel(2)})
          .refusal);
  const std::vector<std::string> sent = test::SentNotes(pop.rhythm->slot, kFill1, kBass);
  ASSERT_GE(sent.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 8), kRepeatedSent);

  const TMidiRhythm made = RhythmFromMidi({Named("r-Var1.mid", RepeatedNotes())});
  ASSERT_TRUE(made.rhythm) << made.outcome.refusal->Text();
  EXPECT_EQ(test::SentNotes(made.rhythm->slot, kVar1, kBass), kRepeatedSent);
}

/// The first note of a section's render that a note-off of its key at the same tick ends as it
/// starts ("Drums 42 at 96"), or an empty text.
std::string NoteEndedAsItStarts(const TRhythmSlot& slot, int section) {
  const std::vector<test::StreamEvent> events = test::Decode(test::Render(slot, section));
  std::uint32_t time = 0;
  for (std::size_t i = 0; i < events.size(); ++i) {
    time += events[i].delta;
    const test::StreamEvent& on = events[i];
    if ((on.status & 0xF0) != 0x90 || on.data2 == 0 || on.data1 > 127) continue;
    for (std::size_t j = i + 1; j < events.size() && events[j].delta == 0; ++j) {
      if (events[j].status == on.status && events[j].data1 == on.data1 && events[j].data2 == 0) {
        return std::string(kPartNames[static_cast<std::size_t>(ChannelPart(on.status & 0x0F))]) +
               " " + std::to_string(on.data1) + " at " + std::to_string(time);
      }
    }
  }
  return {};
}

TEST(MidiImportAsSequencersWriteIt, EveryPartOfTheSectionStillEndsANoteBeforeItsKeyStartsAgain) {
  // A part imported into a section changes its events, and the render's sort of equal times:
  // the parts left as they were must still send a key's note-off before its next note-on.
  for (const auto& example : examples::ExampleRhythms()) {
    const TLoadOutcome loaded = ReadRhythm(example.fileName, example.bytes);
    ASSERT_EQ(loaded.status, TLoadStatus::kLoaded);
    for (int section = 0; section < kSectionCount; ++section) {
      for (int part = 0; part < kPartCount; ++part) {
        TRhythmSlot slot = loaded.rhythm->slot;
        ASSERT_FALSE(
            ImportMidiPart(slot, "in.mid", RepeatedNotes(), {section, part, Channel(2)}).refusal);
        EXPECT_EQ(NoteEndedAsItStarts(slot, section), "")
            << example.fileName << " " << PartItemText(section, part);
      }
    }
  }
}

TEST(MidiImportAsSequencersWriteIt, ANoteClosedAtItsOwnTickEndsAfterItStarts) {
  // Two note-ons of key 50 at tick 50: the first is closed right there, its note-off between the
  // two note-ons, never before the note it ends.
  const TMidiFile file = Smf(0, 96,
                             {TSmfTrackWriter()
                                  .Event(50, {0x91, 50, 1})
                                  .Event(0, {0x91, 50, 2})
                                  .Event(50, {0x81, 50, 0})
                                  .Event(50, {0x81, 50, 0})
                                  .End(0)});
  TRhythmSlot slot = Rhythm();
  ASSERT_FALSE(Import(slot, file, Channel(2)).refusal);
  EXPECT_EQ(SentBass(slot),
            (std::vector<std::string>{"50: 50 1", "50: 50 0", "50: 50 2", "150: 50 0"}));
}

TEST(MidiImportAsSequencersWriteIt, KeepsTheFirstTempoAndSaysWhereItChanged) {
  // 100 quarter notes a minute, 90 from bar 2 (tick 384), 100 again at bar 3: tempo byte 80,
  // and one notice. A tempo event that restates the tempo changes nothing.
  TSmfTrackWriter conductor;
  conductor.Tempo(0, 600000).Tempo(192, 600000).Tempo(192, 666667).Tempo(384, 600000).End(0);
  TSmfTrackWriter bass;
  bass.Name("Bass");
  for (int beat = 0; beat < 12; ++beat) bass.Event(0, {0x91, 40, 100}).Event(96, {0x81, 40, 0});
  const TMidiRhythm made =
      RhythmFromMidi({Named("s-Var1.mid", Smf(1, 96, {conductor, bass.End(0)}))});
  ASSERT_TRUE(made.rhythm) << made.outcome.refusal->Text();
  EXPECT_EQ(made.rhythm->slot.header.Tempo(), 80);
  EXPECT_EQ(made.outcome.notices,
            std::vector<std::string>{
                "s-Var1.mid: its tempo changes from bar 2 on left out: a rhythm has one tempo"});
  const TMidiRhythm steady = RhythmFromMidi(
      {Named("s-Var1.mid",
             Smf(1, 96, {TSmfTrackWriter().Tempo(0, 600000).Tempo(384, 600000).End(0), bass}))});
  ASSERT_TRUE(steady.rhythm);
  EXPECT_TRUE(steady.outcome.notices.empty());
}

/// A format-0 file at 96 whose markers name Intro1 at bar 1, Var1 at bar 2 and Fill1 at bar 3,
/// in 4/4, a note a beat; a time signature of `numerator` quarter notes at `changeAt` when given.
TMidiFile MarkedFile(std::optional<std::uint32_t> changeAt, std::uint8_t numerator) {
  TSmfTrackWriter track;
  track.TimeSignature(0, 4, 2);
  std::uint32_t last = 0;  // the tick of the event written last
  const auto delta = [&](std::uint32_t tick) { return tick - std::exchange(last, tick); };
  const std::map<std::uint32_t, std::string> markers = {
      {0, "Intro1"}, {384, "Var1"}, {768, "Fill1"}};
  for (std::uint32_t tick = 0; tick < 1152; tick += 96) {
    if (markers.count(tick) > 0) track.Marker(delta(tick), markers.at(tick));
    if (changeAt == tick) track.TimeSignature(delta(tick), numerator, 2);
    track.Event(delta(tick), {0x91, 40, 100}).Event(delta(tick + 96), {0x81, 40, 0});
  }
  return Smf(0, 96, {track.End(0)});
}

TEST(MidiImportAsSequencersWriteIt, RefusesATimeSignatureChangeNamingTheSectionAndTheBar) {
  const TMidiRhythm changed = RhythmFromMidi({Named("take.mid", MarkedFile(768, 3))});
  ASSERT_FALSE(changed.rhythm);
  EXPECT_EQ(changed.outcome.refusal->Text(),
            "take.mid: its time signature changes from 4/4 to 3/4 at bar 3, in Fill1; a rhythm "
            "has one time signature");
  // The same time signature stated again is no change.
  const TMidiRhythm restated = RhythmFromMidi({Named("take.mid", MarkedFile(384, 4))});
  ASSERT_TRUE(restated.rhythm) << restated.outcome.refusal->Text();
  EXPECT_EQ(restated.rhythm->slot.header.BarCount(4), 1);
}

TEST(MidiImportAsSequencersWriteIt, SaysWhenAPartComesFromAnotherTimeSignature) {
  TSmfTrackWriter waltz;
  waltz.TimeSignature(0, 3, 2).Event(0, {0x91, 40, 100}).Event(288, {0x81, 40, 0});
  TRhythmSlot slot = Rhythm();
  const TMidiImportOutcome outcome = Import(slot, Smf(0, 96, {waltz.End(0)}), Channel(2));
  ASSERT_FALSE(outcome.refusal);
  EXPECT_EQ(SentBass(slot), (std::vector<std::string>{"0: 40 100", "288: 40 0"}));
  EXPECT_EQ(outcome.notices,
            std::vector<std::string>{"Var1:Bass: the source is in 3/4, the rhythm in 4/4: its "
                                     "notes keep their ticks, not their bars"});
  // A source in the rhythm's own time signature, or stating none, says nothing.
  TRhythmSlot same = Rhythm();
  EXPECT_TRUE(Import(same, RepeatedNotes(), Channel(2)).notices.empty());
}

TEST(MidiImportAsSequencersWriteIt, ASectionEndsAtTheBarLineATrackEndsJustPast) {
  // A waltz of 4 bars at 480 whose track ends 26 ticks after its last note, as abc2midi writes:
  // 4 bars. Ending a beat or more past the bar line, or with a note sounding past it: 5 bars.
  const auto waltz = [](std::uint32_t tail, std::uint32_t lastLength) {
    TSmfTrackWriter track;
    track.Name("Bass").TimeSignature(0, 3, 2);
    for (int beat = 0; beat < 11; ++beat) track.Event(0, {0x91, 40, 90}).Event(480, {0x81, 40, 0});
    track.Event(0, {0x91, 43, 90}).Event(lastLength, {0x81, 43, 0});
    return Smf(1, 480, {track.End(tail)});
  };
  const auto bars = [](const TMidiFile& file) {
    const TMidiRhythm made = RhythmFromMidi({Named("w-Var1.mid", file)});
    EXPECT_TRUE(made.rhythm) << made.outcome.refusal->Text();
    return made.rhythm ? made.rhythm->slot.header.BarCount(kVar1) : 0;
  };
  EXPECT_EQ(bars(waltz(26, 480)), 4);
  EXPECT_EQ(bars(waltz(479, 480)), 4);
  EXPECT_EQ(bars(waltz(480, 480)), 5);
  EXPECT_EQ(bars(waltz(0, 500)), 5);  // the last note ends 20 ticks past the bar line
}

TEST(MidiImportAsSequencersWriteIt, KeepsNotesShorterThanHalfATickAtOneTick) {
  // At 960 into 96: a note of 4 ticks (0.4 of the rhythm's) and one of 0 ticks; one of 5
  // (half a tick) is a tick long anyway.
  const TMidiFile file = Smf(0, 960,
                             {TSmfTrackWriter()
                                  .Event(0, {0x91, 40, 1})
                                  .Event(4, {0x81, 40, 0})
                                  .Event(956, {0x91, 41, 1})
                                  .Event(0, {0x81, 41, 0})
                                  .Event(960, {0x91, 42, 1})
                                  .Event(5, {0x81, 42, 0})
                                  .End(0)});
  TRhythmSlot slot = Rhythm();
  const TMidiImportOutcome outcome = Import(slot, file, Channel(2));
  ASSERT_FALSE(outcome.refusal);
  EXPECT_EQ(SentBass(slot), (std::vector<std::string>{"0: 40 1", "1: 40 0", "96: 41 1", "97: 41 0",
                                                      "192: 42 1", "193: 42 0"}));
  EXPECT_EQ(outcome.notices, std::vector<std::string>{
                                 "Var1:Bass: 2 notes shorter than half a tick kept at one tick"});
}

TEST(MidiImportAsSequencersWriteIt, NamesHowManyTracksAFileHasWhenTheTrackIsNotThere) {
  TSmfTrackWriter note;
  note.Event(0, {0x90, 40, 1}).Event(10, {0x80, 40, 0}).End(0);
  const TMidiFile four = Smf(1, 96, {note, note, note, note});
  TRhythmSlot slot = Rhythm();
  const TMidiImportOutcome outcome = Import(slot, four, {TMidiSource::TKind::kTrack, 8});
  ASSERT_TRUE(outcome.refusal);
  EXPECT_EQ(outcome.refusal->Text(), "in.mid: there is no track 9: the file has 4 tracks");
}

TEST(MidiImportAsSequencersWriteIt, NamesEveryFileThatCannotBeRead) {
  test::TTempDir dir;
  const std::string good = dir.File("a-Var1.mid");
  test::WriteBytes(good, SmfFile(0, 96, {TSmfTrackWriter().Event(0, {0x90, 40, 1}).End(10)}));
  const std::string text = dir.File("b-Var2.mid");
  test::WriteBytes(text, {'h', 'e', 'l', 'l', 'o'});
  const std::string missing = dir.File("c-Fill1.mid");
  const TMidiFilesRead read = ReadMidiFiles({good, text, missing});
  ASSERT_EQ(read.refusals.size(), 2u);
  EXPECT_EQ(read.refusals[0].file, text);
  EXPECT_EQ(read.refusals[1].file, missing);
  EXPECT_NE(read.refusals[0].reason.find("not a Standard MIDI File"), std::string::npos);
  EXPECT_EQ(MidiRefusalsText(read.refusals, "\n"),
            read.refusals[0].Text() + "\n" + read.refusals[1].Text());
  ASSERT_EQ(read.files.size(), 1u);
  EXPECT_EQ(read.files[0].path, good);
}

TEST(FreeRhythmName, IsTheProposedNameElseTheFirstNumberedOneNoFileHas) {
  const std::set<std::string> files = {"/m/a.ckf", "/m/a-2.ckf"};
  const auto taken = [&](const std::string& name) { return files.count(name) > 0; };
  EXPECT_EQ(FreeRhythmName("/m/a.ckf", taken), "/m/a-3.ckf");
  // The count starts at 2: the first numbered name is NAME-2.ckf.
  EXPECT_EQ(FreeRhythmName("/m/c.ckf", [](const std::string& name) { return name == "/m/c.ckf"; }),
            "/m/c-2.ckf");
  EXPECT_EQ(FreeRhythmName("/m/b.ckf", taken), "/m/b.ckf");
}

TEST(RhythmNameFromMidi, IsTheFirstFilesNameWithoutItsSection) {
  EXPECT_EQ(RhythmNameFromMidi("/m/ballad-Intro1.mid"), "/m/ballad.ckf");
  EXPECT_EQ(RhythmNameFromMidi("/m/my-song-var2.MID"), "/m/my-song.ckf");
  EXPECT_EQ(RhythmNameFromMidi("/m/my-song.mid"), "/m/my-song.ckf");
  EXPECT_EQ(RhythmNameFromMidi("Var1.mid"), "Var1.ckf");
}

}  // namespace
}  // namespace brondel
