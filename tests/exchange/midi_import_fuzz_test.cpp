// Damaged MIDI files: thousands of corrupted copies (fixed seed) of exported sections and of
// files as other programs write them — cut short, bytes changed, chunk lengths wrong, delta
// times and lengths huge, bytes inserted, pure noise — and as many sound files saying odd things
// (times far off, other messages, any tempo, time signature, division or marker) are each read
// and imported as a part and as a whole rhythm. Every one is refused with a reason, leaving the
// rhythm as it was, or imported into a rhythm the loader reads back as it is; none crashes, hangs
// or allocates without bound.
#include <gtest/gtest.h>

#include <random>

#include "document/rhythm_loader.h"
#include "document/rhythm_timing.h"
#include "document/save_file.h"
#include "examples/generator/example_rhythms.h"
#include "exchange/midi_export.h"
#include "exchange/midi_import.h"
#include "tests/support/midi_file_support.h"
#include "tests/support/smf_writer.h"

namespace brondel {
namespace {

using test::TBytes;
using test::TSmfTrackWriter;

std::size_t Pick(std::mt19937& random, std::size_t bound) {
  return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random);
}

/// The files the corruptions start from: every exported section of the pop beat, and a
/// format 0 file in running status with system exclusive and meta events and several channels.
std::vector<TBytes> Originals(const TRhythmSlot& slot) {
  std::vector<TBytes> files;
  for (int section = 0; section < kSectionCount; ++section) {
    files.push_back(ExportMidiFile(slot, "song", {test::Render(slot, section)}).bytes);
  }
  TSmfTrackWriter track;
  track.Name("take").SysEx(0, {0x43, 0x10, 0x4C, 0xF7}).Marker(0, "Var1").Tempo(0, 600000);
  for (std::uint8_t n = 0; n < 60; ++n) {
    track.Event(0, {static_cast<std::uint8_t>(0x90 | (n % 4 == 0 ? 9 : n % 3)),
                    static_cast<std::uint8_t>(36 + n % 24), 100});
    track.Event(120, {static_cast<std::uint8_t>(36 + n % 24), 0});
  }
  files.push_back(test::SmfFile(0, 480, {track.Marker(0, "Fill1").End(480)}));
  return files;
}

/// One random damage of a copy of `file`.
TBytes Corrupt(TBytes file, std::mt19937& random) {
  const auto anyByte = [&] { return static_cast<std::uint8_t>(Pick(random, 256)); };
  switch (Pick(random, 7)) {
    case 0:  // cut short
      file.resize(Pick(random, file.size()));
      break;
    case 1:  // a few bytes changed anywhere
      for (std::size_t n = 1 + Pick(random, 8); n > 0; --n)
        file[Pick(random, file.size())] = anyByte();
      break;
    case 2: {  // a chunk length changed: the header's, or any track's
      std::size_t at = 4;
      for (std::size_t i = 0; i + 8 < file.size(); ++i) {
        if (file[i] == 'M' && file[i + 1] == 'T' && file[i + 2] == 'r' && Pick(random, 3) == 0) {
          at = i + 4;
        }
      }
      for (std::size_t i = 0; i < 4; ++i)
        file[at + i] = Pick(random, 2) ? anyByte() : file[at + i] ^ 1;
      break;
    }
    case 3: {  // a huge delta time or length where an event starts
      const std::size_t at = 22 + Pick(random, file.size() - 22);
      file.insert(file.begin() + static_cast<std::ptrdiff_t>(at), {0x8F, 0xFF, 0xFF, 0x7F});
      break;
    }
    case 4:  // bytes inserted
      for (std::size_t n = 1 + Pick(random, 6); n > 0; --n) {
        file.insert(file.begin() + static_cast<std::ptrdiff_t>(Pick(random, file.size())),
                    anyByte());
      }
      break;
    case 5:  // noise after a sound header
      file.resize(14);
      for (std::size_t n = Pick(random, 2000); n > 0; --n) file.push_back(anyByte());
      break;
    default:  // noise
      file.assign(Pick(random, 400), 0);
      for (std::uint8_t& b : file) b = anyByte();
      break;
  }
  return file;
}

/// The bytes of `file` as a writer of our own lays them out (no running status).
TBytes Encode(const platform::TMidiFile& file) {
  std::vector<TSmfTrackWriter> tracks;
  for (const auto& track : file.tracks) {
    TBytes data;
    std::uint64_t tick = 0;
    for (const auto& event : track.events) {
      test::Append(data, test::Vlq(static_cast<std::uint32_t>(event.tick - tick)));
      test::Append(data, event.bytes);
      tick = event.tick;
    }
    test::Append(data, test::Vlq(static_cast<std::uint32_t>(track.endTick - tick)));
    test::Append(data, {0xFF, 0x2F, 0x00});
    tracks.emplace_back(TSmfTrackWriter::FromData(std::move(data)));
  }
  return test::SmfFile(file.format, file.division, tracks);
}

/// One random change of what a sound file says, keeping it a file: times far off, other notes,
/// other messages, odd tempos, time signatures and divisions, markers, tracks twice.
TBytes Alter(const TBytes& bytes, std::mt19937& random) {
  platform::TMidiFile file = platform::ReadMidiFile(bytes).file;
  auto& track = file.tracks[Pick(random, file.tracks.size())];
  const auto data = [&] { return static_cast<std::uint8_t>(Pick(random, 128)); };
  for (std::size_t n = 1 + Pick(random, 4); n > 0 && !track.events.empty(); --n) {
    const std::size_t at = Pick(random, track.events.size());
    auto& event = track.events[at];
    switch (Pick(random, 6)) {
      case 0: {  // everything from here on far later
        const std::uint64_t shift = std::uint64_t{1} << Pick(random, 28);
        for (std::size_t i = at; i < track.events.size(); ++i) track.events[i].tick += shift;
        track.endTick += shift;
        break;
      }
      case 1:  // another key, velocity or value
        event.bytes.back() =
            event.bytes.size() > 1 && event.bytes[0] != 0xFF ? data() : event.bytes.back();
        if (event.bytes.size() == 3 && event.bytes[0] < 0xF0) event.bytes[1] = data();
        break;
      case 2:  // another message on another channel
        if (event.bytes.size() == 3 && event.bytes[0] < 0xF0) {
          static constexpr std::uint8_t kKinds[] = {0x80, 0x90, 0xA0, 0xB0, 0xE0};
          event.bytes[0] = static_cast<std::uint8_t>(kKinds[Pick(random, 5)] | Pick(random, 16));
        }
        break;
      case 3:  // a tempo, time signature or marker of any value
        switch (Pick(random, 3)) {
          case 0:
            event.bytes = {0xFF, 0x51, 3, data(), data(), data()};
            break;
          case 1:
            event.bytes = {0xFF,
                           0x58,
                           4,
                           static_cast<std::uint8_t>(Pick(random, 40)),
                           static_cast<std::uint8_t>(Pick(random, 10)),
                           24,
                           8};
            break;
          default: {
            const std::string name(kSectionNames[Pick(random, kSectionCount)]);
            event.bytes = {0xFF, 0x06, static_cast<std::uint8_t>(name.size())};
            event.bytes.insert(event.bytes.end(), name.begin(), name.end());
          }
        }
        break;
      case 4:  // another division
        file.division = static_cast<std::uint16_t>(1 + Pick(random, 0x7FFF));
        break;
      default:  // a track twice
        file.tracks.push_back(track);
        return Encode(file);
    }
  }
  return Encode(file);
}

/// A rhythm the import left: every part its records up to its end record (and a filler), ending
/// with its section, counts right, and the file it saves to read back as it is.
testing::AssertionResult Sound(const TRhythmSlot& slot) {
  for (int section = 0; section < kSectionCount; ++section) {
    if (slot.eventCounts[static_cast<std::size_t>(section)] != CountSectionEvents(slot, section)) {
      return testing::AssertionFailure() << "event count of section " << section;
    }
  }
  TRhythmDocuments docs;
  docs.slots[kMainSlot] = slot;
  docs.filePrefix[kTypeByteOffset] = kCkfTypeByte;
  const TSaveImage image = BuildSaveImage(docs);
  if (image.refusal) return testing::AssertionFailure() << *image.refusal;
  const TLoadOutcome back = ReadRhythm("back.ckf", image.bytes);
  if (back.status != TLoadStatus::kLoaded) return testing::AssertionFailure() << back.message;
  if (back.rhythm->slot.streams != slot.streams) {
    return testing::AssertionFailure() << "the saved parts read back otherwise";
  }
  return testing::AssertionSuccess();
}

TEST(DamagedMidiFiles, AreImportedOrRefusedWithAReason) {
  const auto example = examples::ExampleRhythms()[1];
  const TLoadOutcome loaded = ReadRhythm(example.fileName, example.bytes);
  ASSERT_EQ(loaded.status, TLoadStatus::kLoaded);
  const TRhythmSlot& rhythm = loaded.rhythm->slot;
  const std::vector<TBytes> originals = Originals(rhythm);
  std::mt19937 random(4711);
  int unread = 0;
  int parts = 0;
  int rhythms = 0;
  for (int round = 0; round < 6000; ++round) {
    const TBytes& original = originals[Pick(random, originals.size())];
    const TBytes file = round % 2 ? Corrupt(original, random) : Alter(original, random);
    const platform::TMidiFileRead read = platform::ReadMidiFile(file);
    if (!read.error.empty()) {
      ++unread;
      continue;
    }
    // One part, from the source a new rhythm would give it, or from the first there is.
    const int section = static_cast<int>(Pick(random, kSectionCount));
    const int part = static_cast<int>(Pick(random, kPartCount));
    const auto sources = ListMidiSources(read.file);
    const auto assigned = AssignPartSources(read.file).parts[static_cast<std::size_t>(part)];
    const TMidiSource source = assigned          ? *assigned
                               : sources.empty() ? TMidiSource{}
                                                 : sources[Pick(random, sources.size())].source;
    TRhythmSlot slot = rhythm;
    const TMidiImportOutcome imported =
        ImportMidiPart(slot, "x.mid", read.file, {section, part, source, Pick(random, 2) == 0});
    if (imported.refusal) {
      ASSERT_FALSE(imported.refusal->reason.empty()) << "round " << round;
      ASSERT_EQ(slot.streams, rhythm.streams) << "round " << round;
      ASSERT_EQ(slot.header.bytes, rhythm.header.bytes) << "round " << round;
    } else {
      ++parts;
      ASSERT_TRUE(Sound(slot)) << "round " << round;
      ASSERT_EQ(
          PartEndTime(
              slot.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)]),
          SectionLength(rhythm, section))
          << "round " << round;
    }
    // A whole rhythm, as one section's file or as a file of markers.
    const TMidiRhythm made =
        RhythmFromMidi({{Pick(random, 3) ? "x-Var2.mid" : "x.mid", read.file}});
    if (made.rhythm) {
      ++rhythms;
      ASSERT_TRUE(Sound(made.rhythm->slot)) << "round " << round;
    } else {
      ASSERT_FALSE(made.outcome.refusal->reason.empty()) << "round " << round;
    }
  }
  RecordProperty("unread", unread);
  RecordProperty("parts_imported", parts);
  RecordProperty("rhythms_made", rhythms);
  EXPECT_GT(unread, 1000);
  EXPECT_GT(parts, 500);
  EXPECT_GT(rhythms, 500);
}

}  // namespace
}  // namespace brondel
