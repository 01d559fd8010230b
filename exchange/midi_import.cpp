#include "exchange/midi_import.h"

#include <algorithm>
#include <array>
#include <deque>
#include <filesystem>
#include <limits>
#include <map>
#include <span>
#include <utility>

#include "document/apply_settings.h"
#include "document/rhythm_builder.h"
#include "document/rhythm_timing.h"
#include "document/rhythm_writer.h"
#include "render/send_order.h"

namespace brondel {

namespace {

using platform::TMidiFile;
using platform::TMidiFileEvent;

constexpr int kKeyCount = 128;
constexpr std::uint64_t kTimelineEnd = 0xFFFF;  // the last tick of a section's 16-bit timeline
// The sounds of a part whose source states none: General MIDI's defaults.
const TPartSettings kDefaultSettings = PartSettings(0, 0, 100, 64, 40, 0);

// Ends the building of a rhythm with a refusal; caught where the outcome is made.
struct TRefused {
  TMidiRefusal refusal;
};

[[noreturn]] void Refuse(std::string file, std::string reason) {
  throw TRefused{{std::move(file), std::move(reason)}};
}

// ---------------------------------------------------------------------------------------------
// Notes of a part

// The notes a part plays, counted from its section's start, and what was changed on the way.
struct TShapedPart {
  std::vector<TTimedNote> notes;
  std::size_t leftOut = 0;    // notes that start at the section's end or later
  std::size_t restarted = 0;  // notes whose key started again before they ended, closed there
  std::size_t cut = 0;        // notes still sounding at the section's end, closed there
};

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// Which of a source's notes stay within a section that ends at `end`, and which note-off ends
// each note-on: the first one of its key that follows, as sequencers pair them (a note-off ends
// its key's oldest note still sounding).
struct TPairing {
  std::vector<bool> kept;          // per note
  std::vector<std::size_t> offOf;  // per note-on: its note-off, kNone when none ends it in time
  std::size_t leftOut = 0;
};

bool IsOn(const TSourceNote& note) {
  return note.velocity > 0;
}

TPairing PairNotes(const std::vector<TSourceNote>& notes, std::uint64_t end) {
  TPairing pairing{std::vector<bool>(notes.size(), false),
                   std::vector<std::size_t>(notes.size(), kNone), 0};
  std::array<std::deque<std::size_t>, kKeyCount> sounding;
  for (std::size_t i = 0; i < notes.size(); ++i) {
    auto& open = sounding[notes[i].key];
    if (IsOn(notes[i])) {
      if (notes[i].tick >= end) {
        ++pairing.leftOut;
        continue;
      }
      open.push_back(i);
      pairing.kept[i] = true;
    } else if (!open.empty()) {
      // A note-off after the end leaves its note to be closed at the end.
      if (notes[i].tick <= end) {
        pairing.offOf[open.front()] = i;
        pairing.kept[i] = true;
      }
      open.pop_front();
    }
  }
  return pairing;
}

// The notes of a part that ends at `end` (see the header), each key's notes one after the other.
TShapedPart ShapePart(const std::vector<TSourceNote>& notes, std::uint64_t end) {
  TPairing pairing = PairNotes(notes, end);
  const auto endOf = [&](std::size_t on) {
    return pairing.offOf[on] == kNone ? end : notes[pairing.offOf[on]].tick;
  };
  // A note that the next note of its key starts within is closed right before that one starts,
  // and its own note-off goes.
  std::vector<bool> closeBefore(notes.size(), false);
  std::vector<bool> closed(notes.size(), false);
  std::array<std::size_t, kKeyCount> previous;
  previous.fill(kNone);
  for (std::size_t i = 0; i < notes.size(); ++i) {
    if (!pairing.kept[i] || !IsOn(notes[i])) continue;
    const std::size_t before = std::exchange(previous[notes[i].key], i);
    if (before == kNone || notes[i].tick >= endOf(before)) continue;
    closeBefore[i] = true;
    closed[before] = true;
    if (pairing.offOf[before] != kNone) pairing.kept[pairing.offOf[before]] = false;
  }
  TShapedPart shaped;
  shaped.leftOut = pairing.leftOut;
  for (std::size_t i = 0; i < notes.size(); ++i) {
    const auto time = static_cast<std::uint32_t>(std::min(notes[i].tick, end));
    if (closeBefore[i]) {
      shaped.notes.push_back({time, notes[i].key, 0});
      ++shaped.restarted;
    }
    if (pairing.kept[i]) shaped.notes.push_back({time, notes[i].key, notes[i].velocity});
  }
  for (std::size_t i = 0; i < notes.size(); ++i) {
    if (!pairing.kept[i] || !IsOn(notes[i]) || closed[i] || pairing.offOf[i] != kNone) continue;
    shaped.notes.push_back({static_cast<std::uint32_t>(end), notes[i].key, 0});
    ++shaped.cut;
  }
  return shaped;
}

// What became of a part's notes, one line for each kind of change.
std::vector<std::string> PartNotices(int section, int part, const TShapedPart& shaped,
                                     std::uint64_t end) {
  const std::string item = PartItemText(section, part) + ": ";
  const std::string sectionEnd = "the section's end (tick " + std::to_string(end) + ")";
  std::vector<std::string> notices;
  if (shaped.leftOut > 0) {
    notices.push_back(item + NoteCount(shaped.leftOut) + " starting at " + sectionEnd +
                      " or later left out");
  }
  if (shaped.restarted > 0) {
    notices.push_back(item + NoteCount(shaped.restarted) + " cut where " +
                      (shaped.restarted == 1 ? "its" : "their") + " key starts again");
  }
  if (shaped.cut > 0) {
    notices.push_back(item + NoteCount(shaped.cut) + " still sounding at " + sectionEnd +
                      " cut there");
  }
  return notices;
}

// ---------------------------------------------------------------------------------------------
// Bars and sizes

// The bars a section of `length` ticks spans (a part bar counting whole) and the ticks they last.
struct TSectionSize {
  std::uint64_t bars = 0;
  std::uint64_t ticks = 0;
};

TSectionSize SectionSize(std::uint64_t length, int q, std::uint8_t signature) {
  // A bar lasts 4 x Q x numerator / denominator ticks, not always a whole number.
  const std::uint64_t barTimesDenominator =
      4 * static_cast<std::uint64_t>(q) * TimeSignatureNumerator(signature);
  const std::uint64_t denominator = TimeSignatureDenominator(signature);
  const std::uint64_t bars = (length * denominator + barTimesDenominator - 1) / barTimesDenominator;
  return {bars, (bars * barTimesDenominator + denominator - 1) / denominator};
}

std::string SectionName(int section) {
  return std::string(kSectionNames[static_cast<std::size_t>(section)]);
}

std::size_t PartSize(const TRhythmSlot& slot, int section, int part) {
  return slot.streams[static_cast<std::size_t>(section)][static_cast<std::size_t>(part)].size();
}

// ---------------------------------------------------------------------------------------------
// One part

// How long a part imported into a section lasts: as the section plays, or when its parts all end
// at once, as its bars say.
std::uint64_t ImportLength(const TRhythmSlot& slot, int section, int q) {
  if (const std::uint16_t length = SectionLength(slot, section); length > 0) return length;
  const std::uint8_t signature = slot.header.TimeSignature();
  if (TimeSignatureNumerator(signature) == 0) return 0;
  const std::uint64_t bars = slot.header.BarCount(section);
  const std::uint64_t barTicks = SectionSize(1, q, signature).ticks;
  return std::min(bars * barTicks, kTimelineEnd);
}

std::string SourceText(const TMidiSource& source) {
  return (source.kind == TMidiSource::TKind::kTrack ? "track " : "channel ") +
         std::to_string(source.index + 1);
}

// Refuses new records for a part that the section or the file could not hold.
void CheckPartFits(const TRhythmSlot& slot, const std::string& path, const TPartImport& request,
                   std::size_t newSize) {
  const std::size_t oldSize = PartSize(slot, request.section, request.part);
  const std::size_t sectionSize = SectionDataSize(slot, request.section) - oldSize + newSize;
  if (sectionSize > kMaxSectionDataSize) {
    Refuse(path, "its notes would make the parts of " + SectionName(request.section) + " hold " +
                     std::to_string(sectionSize) + " bytes of data, more than the " +
                     std::to_string(kMaxSectionDataSize) + " a section can hold");
  }
  const std::size_t oldTotal = TotalLength(slot.streams);
  const std::size_t newTotal = oldTotal - oldSize + newSize;
  if (newTotal > kMaxTotalLength && newTotal > oldTotal) {
    Refuse(path, "its notes would make the rhythm " + std::to_string(newTotal) +
                     " bytes long, more than the " + std::to_string(kMaxTotalLength) +
                     " a rhythm file holds");
  }
}

TMidiImportOutcome ImportPart(TRhythmSlot& slot, const std::string& path, const TMidiFile& file,
                              const TPartImport& request) {
  if (file.division == 0) Refuse(path, "a division of 0 ticks per quarter note");
  if (!HoldsNotes(file)) Refuse(path, "holds no notes");
  const TMidiMessages messages = SourceMessages(file, request.source);
  if (CountNoteOns(messages) == 0) Refuse(path, SourceText(request.source) + " holds no notes");
  const int q = MidiTicksPerQuarterNote(slot);
  const std::uint64_t end = ImportLength(slot, request.section, q);
  if (end == 0) {
    Refuse(path, SectionName(request.section) +
                     " lasts no time (its parts end at once and it has no bars to fill)");
  }
  const TShapedPart shaped = ShapePart(RhythmNotes(messages, file.division, q), end);
  TPartStream records = EncodeTimedNotes(shaped.notes, static_cast<std::uint32_t>(end));
  CheckPartFits(slot, path, request, records.size());

  ReplacePartStream(slot, request.section, request.part, std::move(records));
  ArrangeForSendOrder(slot, request.section, request.part);
  if (request.takeSounds) {
    slot.header.SetSettings(
        request.section, request.part,
        SourceSettings(messages, slot.header.Settings(request.section, request.part)));
  }
  return {std::nullopt, PartNotices(request.section, request.part, shaped, end)};
}

// ---------------------------------------------------------------------------------------------
// A whole rhythm

// Where a section lies in a file, in its ticks.
struct TSpan {
  int section = 0;
  const TNamedMidiFile* file = nullptr;
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  bool followed = false;  // another section of the file starts at its end
};

// The sections given, in section order.
struct TSections {
  std::vector<TSpan> spans;
  bool marked = false;  // from the markers of one file
};

std::uint64_t FileEnd(const TMidiFile& file) {
  std::uint64_t end = 0;
  for (const auto& track : file.tracks) end = std::max(end, track.endTick);
  return end;
}

// The first meta event of `type` in the file (the earliest; at equal ticks, the first track's)
// whose data has at least `size` bytes.
std::optional<std::span<const std::uint8_t>> FirstMeta(const TMidiFile& file, std::uint8_t type,
                                                       std::size_t size) {
  const TMidiFileEvent* first = nullptr;
  for (const auto& track : file.tracks) {
    for (const TMidiFileEvent& event : track.events) {
      if (platform::MetaType(event) != type || platform::MetaData(event).size() < size) continue;
      if (first == nullptr || event.tick < first->tick) first = &event;
      break;
    }
  }
  if (first == nullptr) return std::nullopt;
  return platform::MetaData(*first);
}

// A file's name without its extension, split where a section's name follows a dash: the
// rhythm's name "ballad" and section Var1 in "ballad-Var1.mid" (as SectionFileName forms it);
// "Var1.mid" names both.
struct TNameAndSection {
  std::string rhythm;
  std::optional<int> section;
};

TNameAndSection SplitSectionName(const std::string& path) {
  const std::string stem = std::filesystem::path(path).stem().string();
  const auto dash = stem.rfind('-');
  if (dash != std::string::npos && dash > 0) {
    if (const auto section = SectionNamed(std::string_view(stem).substr(dash + 1))) {
      return {stem.substr(0, dash), section};
    }
  }
  return {stem, SectionNamed(stem)};
}

// The sections of one file, from its marker events.
std::vector<TSpan> MarkedSpans(const TNamedMidiFile& named) {
  const std::vector<TSectionMarker> markers = SectionMarkers(named.file);
  const std::uint64_t fileEnd = FileEnd(named.file);
  std::vector<TSpan> spans;
  for (std::size_t i = 0; i < markers.size(); ++i) {
    const bool followed = i + 1 < markers.size();
    const std::uint64_t end = std::max(followed ? markers[i + 1].tick : fileEnd, markers[i].tick);
    spans.push_back({markers[i].section, &named, markers[i].tick, end, followed});
  }
  return spans;
}

// Each section given, from the files' names or from the one file's markers; refuses a file that
// names no section and a section given twice.
TSections SectionSpans(const std::vector<TNamedMidiFile>& files) {
  TSections sections;
  std::vector<TSpan>& spans = sections.spans;
  for (const TNamedMidiFile& named : files) {
    if (const auto section = SplitSectionName(named.path).section) {
      spans.push_back({*section, &named, 0, FileEnd(named.file), false});
      continue;
    }
    if (files.size() > 1) {
      Refuse(named.path,
             "its name says no section: name each file NAME-Var1.mid, NAME-Fill1.mid "
             "... (Intro1 ... End2)");
    }
    spans = MarkedSpans(named);
    sections.marked = true;
    if (spans.empty()) {
      Refuse(named.path,
             "names no section: name it NAME-Var1.mid (Intro1 ... End2), or mark where each "
             "section starts with a marker named after it");
    }
  }
  std::array<const TSpan*, kSectionCount> given{};
  for (const TSpan& span : spans) {
    const TSpan*& other = given[static_cast<std::size_t>(span.section)];
    if (other != nullptr) {
      Refuse(span.file->path,
             SectionName(span.section) + " is given twice" +
                 (other->file == span.file ? "" : " (also by " + other->file->path + ")"));
    }
    other = &span;
  }
  std::sort(spans.begin(), spans.end(),
            [](const TSpan& a, const TSpan& b) { return a.section < b.section; });
  return sections;
}

// "3/4", or "3/2^9" for a power of two beyond what a byte of the format holds.
std::string SignatureText(std::uint8_t numerator, std::uint8_t power) {
  const std::string denominator =
      power < 8 ? std::to_string(1 << power) : "2^" + std::to_string(power);
  return std::to_string(numerator) + "/" + denominator;
}

// The time signature byte the files state (4/4 when none does).
std::uint8_t RhythmTimeSignature(const std::vector<TSpan>& spans) {
  std::optional<std::uint8_t> signature;
  const TNamedMidiFile* stating = nullptr;
  for (const TSpan& span : spans) {
    const auto data = FirstMeta(span.file->file, platform::kMetaTimeSignature, 2);
    if (!data) continue;
    const std::uint8_t numerator = (*data)[0];
    const std::uint8_t power = (*data)[1];
    if (numerator == 0 || numerator > 31 || power > 7) {
      Refuse(span.file->path, "its time signature " + SignatureText(numerator, power) +
                                  " does not fit a rhythm (1 to 31 beats of 1/1 to 1/128)");
    }
    const std::uint8_t byte = TimeSignatureByte(numerator, power);
    if (signature && *signature != byte) {
      Refuse(span.file->path, "its time signature " + SignatureText(numerator, power) +
                                  " differs from " + TimeSignatureText(*signature) + " in " +
                                  stating->path + "; a rhythm has one time signature");
    }
    if (!signature) stating = span.file;
    signature = byte;
  }
  return signature.value_or(TimeSignatureByte(4, 2));
}

// The first tempo the files state, in section order, in microseconds a quarter note; 500,000
// when none does. A file whose first tempo differs gets a notice.
std::uint64_t RhythmTempo(const std::vector<TSpan>& spans, std::vector<std::string>& notices) {
  std::optional<std::uint64_t> tempo;
  const TNamedMidiFile* stating = nullptr;
  for (const TSpan& span : spans) {
    if (span.file == stating) continue;
    const auto data = FirstMeta(span.file->file, platform::kMetaTempo, 3);
    if (!data) continue;
    const std::uint64_t micros =
        std::uint64_t{(*data)[0]} << 16 | std::uint64_t{(*data)[1]} << 8 | (*data)[2];
    if (micros == 0) continue;
    if (!tempo) {
      tempo = micros;
      stating = span.file;
    } else if (micros != *tempo) {
      notices.push_back(span.file->path + ": its tempo differs from the first file's (" +
                        stating->path + "), which the rhythm takes");
    }
  }
  return tempo.value_or(kStreamQuarterNoteMicroseconds);
}

// True when the rhythm fits the timeline at Q ticks a quarter note: every section over its whole
// bars, and a bar for the sections no file holds.
bool SectionsFit(const std::vector<TSpan>& spans, int q, std::uint8_t signature) {
  const int division = spans.front().file->file.division;
  if (SectionSize(1, q, signature).ticks > kTimelineEnd) return false;
  return std::all_of(spans.begin(), spans.end(), [&](const TSpan& span) {
    const std::uint64_t length =
        RhythmTick(span.end, division, q) - RhythmTick(span.start, division, q);
    return SectionSize(length, q, signature).ticks <= kTimelineEnd;
  });
}

bool TempoByteFits(std::uint64_t tempo) {
  return tempo >= static_cast<std::uint64_t>(kMinTempo) &&
         tempo <= static_cast<std::uint64_t>(kMaxTempo);
}

// The new rhythm's ticks per quarter note (see the header).
int ChooseTicksPerQuarterNote(const std::vector<TSpan>& spans, std::uint64_t micros,
                              std::uint8_t signature) {
  const int division = spans.front().file->file.division;
  const bool shared = std::all_of(spans.begin(), spans.end(), [&](const TSpan& span) {
    return span.file->file.division == division;
  });
  if (shared && TempoByteFits(TempoByteFor(division, micros)) &&
      SectionsFit(spans, division, signature)) {
    return division;
  }
  return kDefaultTicksPerQuarterNote;
}

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
  const TSections sections = SectionSpans(files);
  const std::vector<TSpan>& spans = sections.spans;
  const std::uint8_t signature = RhythmTimeSignature(spans);
  const std::uint64_t micros = RhythmTempo(spans, notices);
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

TMidiImportOutcome ImportMidiPart(TRhythmSlot& slot, const std::string& path, const TMidiFile& file,
                                  const TPartImport& request) {
  try {
    return ImportPart(slot, path, file, request);
  } catch (const TRefused& refused) {
    return {refused.refusal, {}};
  }
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

std::string SectionFileName(const std::string& path, int section) {
  std::filesystem::path name(path);
  const std::string extension = name.has_extension() ? name.extension().string() : ".mid";
  name.replace_extension();
  name += "-";  // piece by piece: GCC 12 at -O3 misreads "-" + std::string&& (-Wrestrict)
  name += kSectionNames[static_cast<std::size_t>(section)];
  name += extension;
  return name.string();
}

std::string RhythmNameFromMidi(const std::string& firstPath) {
  const std::string name = SplitSectionName(firstPath).rhythm + ".ckf";
  // Beside the first file, with the separator it was named with ("/" on Windows too).
  return std::filesystem::path(firstPath).replace_filename(name).string();
}

std::string FreeRhythmName(const std::string& proposed,
                           const std::function<bool(const std::string&)>& taken) {
  const std::string stem = proposed.substr(0, proposed.size() - std::string_view(".ckf").size());
  std::string name = proposed;
  for (int number = 2; taken(name); ++number) name = stem + "-" + std::to_string(number) + ".ckf";
  return name;
}

}  // namespace brondel
