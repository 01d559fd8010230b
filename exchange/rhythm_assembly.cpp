// "New rhythm from MIDI": a whole rhythm assembled from the sections found in the files given,
// at the meter, tempo and ticks chosen for them.
#include <algorithm>
#include <array>
#include <map>
#include <utility>

#include "document/apply_settings.h"
#include "document/rhythm_builder.h"
#include "document/rhythm_timing.h"
#include "document/rhythm_writer.h"
#include "exchange/import_refusal.h"
#include "exchange/import_timing.h"
#include "exchange/midi_import.h"
#include "exchange/note_pairing.h"
#include "exchange/section_spans.h"
#include "render/send_order.h"

namespace brondel {

namespace {

using namespace midi_in;
using platform::TMidiFile;

// The sounds of a part whose source states none: General MIDI's defaults.
const TPartSettings kDefaultSettings = PartSettings(0, 0, 100, 64, 40, 0);

// What each part takes from one file: its source's messages, their notes at the rhythm's ticks
// and the sounds they state (a part without a source: none, and the default sounds). A file
// with markers serves all of its sections from one reading.
struct TFileParts {
  std::array<TMidiMessages, kPartCount> messages;
  std::array<std::vector<TSourceNote>, kPartCount> notes;
  std::array<TPartSettings, kPartCount> settings;
};

TFileParts ReadFileParts(const TMidiFile& file, const TPartSources& sources, int q) {
  TFileParts parts;
  for (std::size_t part = 0; part < kPartCount; ++part) {
    const auto& source = sources.parts[part];
    if (source) parts.messages[part] = SourceMessages(file, *source);
    parts.notes[part] = RhythmNotes(parts.messages[part], file.division, q);
    parts.settings[part] = SourceSettings(parts.messages[part], kDefaultSettings);
  }
  return parts;
}

// The parts of a rhythm being built, and what went into them.
class TRhythmAssembly {
 public:
  TRhythmAssembly(std::uint8_t tempo, std::uint8_t signature, int q)
      : builder_(tempo, signature), signature_(signature), q_(q) {}

  // Builds one section from its span of a file, with what each part takes from that file.
  void AddSection(const TSpan& span, const TFileParts& parts) {
    const TMidiFile& file = span.file->file;
    const std::uint64_t start = RhythmTick(span.start, file.division, q_);
    const std::uint64_t length = RhythmTick(span.end, file.division, q_) - start;
    const TSectionSize size = SectionSize(length, q_, signature_);
    if (size.ticks > kTimelineEnd || size.bars > 0xFFFF) {
      Refuse(span.file->path, SectionName(span.section) + " lasts " + std::to_string(size.ticks) +
                                  " ticks over its " + std::to_string(size.bars) + " bars at " +
                                  std::to_string(q_) +
                                  " ticks a quarter note, more than the 65,535 of a section");
    }
    builder_.Bars(span.section, static_cast<std::uint16_t>(size.bars));
    for (int part = 0; part < kPartCount; ++part) {
      const auto p = static_cast<std::size_t>(part);
      const TShapedPart shaped =
          ShapePart(Window(parts.notes[p], start, start + length, span.followed), length);
      builder_.Part(span.section, part,
                    EncodeTimedNotes(shaped.notes, static_cast<std::uint32_t>(size.ticks)));
      const TPartSettings& settings = parts.settings[p];
      builder_.Settings(span.section, part, settings);
      FirstSettings(part, settings);
      for (std::string& notice : PartNotices(span.section, part, shaped, length)) {
        notices_.push_back(span.file->path + ": " + std::move(notice));
      }
    }
    given_[static_cast<std::size_t>(span.section)] = true;
  }

  // Sections no file holds: a bar of empty parts, sounding as the first section given.
  void FillMissingSections() {
    const auto bar = static_cast<std::uint32_t>(SectionSize(1, q_, signature_).ticks);
    for (int section = 0; section < kSectionCount; ++section) {
      if (given_[static_cast<std::size_t>(section)]) continue;
      builder_.Bars(section, 1);
      for (int part = 0; part < kPartCount; ++part) {
        builder_.Part(section, part, EncodeTimedNotes({}, bar));
        builder_.Settings(
            section, part,
            firstSettings_[static_cast<std::size_t>(part)].value_or(kDefaultSettings));
      }
    }
  }

  // The rhythm, its notes arranged for the render's order; refused when no file could hold it.
  TRhythmSlot Slot(const std::string& path) const {
    TRhythmSlot slot = builder_.Slot();
    if (TooLargeToSave(slot.streams)) {
      int largest = 0;
      for (int section = 1; section < kSectionCount; ++section) {
        if (SectionDataSize(slot, section) > SectionDataSize(slot, largest)) largest = section;
      }
      Refuse(path, "the rhythm would be " + std::to_string(TotalLength(slot.streams)) +
                       " bytes long, more than the " + std::to_string(kMaxTotalLength) +
                       " a rhythm file holds (" + SectionName(largest) + " alone holds " +
                       std::to_string(SectionDataSize(slot, largest)) + ")");
    }
    for (int section = 0; section < kSectionCount; ++section) {
      ArrangeSectionForSendOrder(slot, section);
    }
    return slot;
  }

  std::vector<std::string>& Notices() { return notices_; }

 private:
  // The notes of a section's span, counted from its start: from its start to its end, but for
  // the notes that start where the next section of the file does, which are that section's.
  static std::vector<TSourceNote> Window(const std::vector<TSourceNote>& notes, std::uint64_t start,
                                         std::uint64_t end, bool followed) {
    std::vector<TSourceNote> window;
    for (const TSourceNote& note : notes) {
      if (note.tick < start || note.tick > end) continue;
      if (followed && note.velocity > 0 && note.tick == end) continue;
      window.push_back({note.tick - start, note.key, note.velocity});
    }
    return window;
  }

  void FirstSettings(int part, const TPartSettings& settings) {
    auto& first = firstSettings_[static_cast<std::size_t>(part)];
    if (!first) first = settings;
  }

  TRhythmBuilder builder_;
  std::uint8_t signature_;
  int q_;
  std::array<bool, kSectionCount> given_{};
  std::array<std::optional<TPartSettings>, kPartCount> firstSettings_;
  std::vector<std::string> notices_;
};

// The notice for a source with notes that no part takes.
std::string LeftOutSource(const TMidiFile& file, const TMidiSource& source) {
  const auto infos = ListMidiSources(file);
  const auto info = std::find_if(infos.begin(), infos.end(),
                                 [&](const TMidiSourceInfo& i) { return i.source == source; });
  return DescribeMidiSource(*info) + " left out: no part takes it";
}

// Notes before the first section marker belong to no section.
void NoticeNotesBeforeMarkers(const std::vector<TSpan>& spans, const TFileParts& parts,
                              std::vector<std::string>& notices) {
  const TNamedMidiFile& named = *spans.front().file;
  std::uint64_t first = spans.front().start;
  for (const TSpan& span : spans) first = std::min(first, span.start);
  std::size_t before = 0;
  for (TMidiMessages messages : parts.messages) {
    std::erase_if(messages, [&](const auto* message) { return message->tick >= first; });
    before += CountNoteOns(messages);
  }
  if (before > 0) {
    notices.push_back(named.path + ": " + NoteCount(before) +
                      " before the first section marker left out");
  }
}

TLoadedRhythm BuildRhythm(const std::vector<TNamedMidiFile>& files,
                          std::vector<std::string>& notices) {
  if (files.empty()) Refuse("", "no MIDI file given");
  for (const TNamedMidiFile& named : files) {
    if (named.file.division == 0) Refuse(named.path, "a division of 0 ticks per quarter note");
  }
  const bool anyNotes = std::any_of(files.begin(), files.end(), [](const TNamedMidiFile& named) {
    return HoldsNotes(named.file);
  });
  if (!anyNotes) {
    Refuse(files.front().path,
           files.size() == 1 ? "holds no notes" : "holds no notes, nor does any other file given");
  }
  TSections sections = SectionSpans(files);
  const std::uint8_t signature = RhythmTimeSignature(sections.spans);
  EndAtBarLinesJustBefore(sections.spans, signature);
  const std::vector<TSpan>& spans = sections.spans;
  const std::uint64_t micros = RhythmTempo(spans, signature, notices);
  const int q = ChooseTicksPerQuarterNote(spans, micros, signature);
  const std::uint64_t tempo = TempoByteFor(q, micros);
  if (!TempoByteFits(tempo)) {
    Refuse(spans.front().file->path, "its tempo of " + std::to_string(micros) +
                                         " us a quarter note gives the tempo byte " +
                                         std::to_string(tempo) + " at " + std::to_string(q) +
                                         " ticks a quarter note; a rhythm's tempo is 11 to 249");
  }

  TRhythmAssembly assembly(static_cast<std::uint8_t>(tempo), signature, q);
  std::map<const TNamedMidiFile*, TFileParts> parts;
  for (const TSpan& span : spans) {
    if (parts.count(span.file) == 0) {
      const TPartSources sources = AssignPartSources(span.file->file);
      for (const TMidiSource& left : sources.leftOut) {
        notices.push_back(span.file->path + ": " + LeftOutSource(span.file->file, left));
      }
      parts[span.file] = ReadFileParts(span.file->file, sources, q);
    }
    assembly.AddSection(span, parts[span.file]);
  }
  if (sections.marked) NoticeNotesBeforeMarkers(spans, parts[spans.front().file], notices);
  assembly.FillMissingSections();
  notices.insert(notices.end(), assembly.Notices().begin(), assembly.Notices().end());

  TLoadedRhythm rhythm;
  rhythm.slot = assembly.Slot(files.front().path);
  rhythm.slot.fileName = RhythmNameFromMidi(files.front().path);
  // A saved .ckf file must carry the type byte to open again.
  rhythm.prefix[kTypeByteOffset] = kCkfTypeByte;
  return rhythm;
}

}  // namespace

TMidiFilesRead ReadMidiFiles(const std::vector<std::string>& paths) {
  TMidiFilesRead read;
  for (const std::string& path : paths) {
    platform::TMidiFileRead file = platform::ReadMidiFileAt(path);
    if (file.error.empty()) {
      read.files.push_back({path, std::move(file.file)});
    } else {
      read.refusals.push_back({path, std::move(file.error)});
    }
  }
  return read;
}

std::string MidiRefusalsText(const std::vector<TMidiRefusal>& refusals,
                             const std::string& separator) {
  std::string text;
  for (const TMidiRefusal& refusal : refusals) {
    text += (text.empty() ? "" : separator) + refusal.Text();
  }
  return text;
}

TMidiRhythm RhythmFromMidi(const std::vector<TNamedMidiFile>& files) {
  std::vector<std::string> notices;
  try {
    TLoadedRhythm rhythm = BuildRhythm(files, notices);
    return {std::move(rhythm), {std::nullopt, std::move(notices)}};
  } catch (const TRefused& refused) {
    return {std::nullopt, {refused.refusal, {}}};
  }
}

std::string FreeRhythmName(const std::string& proposed,
                           const std::function<bool(const std::string&)>& taken) {
  const std::string stem = proposed.substr(0, proposed.size() - std::string_view(".ckf").size());
  std::string name = proposed;
  for (int number = 2; taken(name); ++number) name = stem + "-" + std::to_string(number) + ".ckf";
  return name;
}

}  // namespace brondel
