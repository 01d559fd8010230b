#include "pattern/note_edits.h"

#include <algorithm>
#include <functional>
#include <set>
#include <utility>

#include "document/rhythm_timing.h"

namespace brondel {

namespace {

constexpr std::int64_t kLastTick = 0xFFFF;
constexpr int kHighestKey = 127;

using TPlaced = std::pair<int, TEditNote>;  // a note and its part

// A section's notes split into the selected ones, taken out, and the others.
struct TTaken {
  TSectionNotes rest;
  std::vector<TPlaced> taken;
};

TTaken Take(const TSectionNotes& notes, const TSelection& selection) {
  const std::set<TNoteId> wanted(selection.begin(), selection.end());
  TTaken split;
  split.rest.end = notes.end;
  for (int part = 0; part < kPartCount; ++part) {
    for (const TEditNote& note : notes.parts[static_cast<std::size_t>(part)]) {
      if (wanted.contains(IdOf(part, note))) {
        split.taken.emplace_back(part, note);
      } else {
        split.rest.parts[static_cast<std::size_t>(part)].push_back(note);
      }
    }
  }
  return split;
}

TNotesEdit Refused(const TSectionNotes& notes, std::string name, const std::string& reason) {
  TNotesEdit edit;
  edit.notes = notes;
  edit.refusal = name + ": " + reason;
  edit.name = std::move(name);
  return edit;
}

// The notes put back after the others, so that they win over notes of their key and tick, and
// the section tidied; they are the new selection as far as they stay.
TNotesEdit PutBack(TSectionNotes rest, const std::vector<TPlaced>& placed, std::string name) {
  for (const auto& [part, note] : placed) {
    rest.parts[static_cast<std::size_t>(part)].push_back(note);
  }
  TNotesEdit edit;
  std::set<TNoteId> ids;
  for (const auto& [part, note] : placed) ids.insert(IdOf(part, note));
  for (int part = 0; part < kPartCount; ++part) {
    TNoteList& list = rest.parts[static_cast<std::size_t>(part)];
    TidyNotes(list);
    for (const TEditNote& note : list) {
      if (ids.contains(IdOf(part, note))) edit.selection.push_back(IdOf(part, note));
    }
  }
  edit.notes = std::move(rest);
  edit.name = std::move(name);
  return edit;
}

// Why notes at these places cannot be: before the start, past the end, a key out of range;
// none when every one fits.
std::optional<std::string> PlaceRefusal(std::int64_t earliest, std::int64_t latestEnd,
                                        std::int64_t lowestKey, std::int64_t highestKey,
                                        std::uint32_t end) {
  if (earliest < 0) {
    return "a note would start " + GroupedNumber(static_cast<std::uint64_t>(-earliest)) +
           " ticks before the section's start";
  }
  if (latestEnd > static_cast<std::int64_t>(end)) {
    return "a note would end " + GroupedNumber(static_cast<std::uint64_t>(latestEnd - end)) +
           " ticks after the section's end (tick " + GroupedNumber(end) + ")";
  }
  if (lowestKey < 0) {
    return "a note would go " + std::to_string(-lowestKey) + " keys below key 0";
  }
  if (highestKey > kHighestKey) {
    return "a note would go " + std::to_string(highestKey - kHighestKey) + " keys above key 127";
  }
  return std::nullopt;
}

// Each taken note changed by `change`, which gives its new start, key and length as wide
// numbers (so that a change out of range can be refused by how much): refused or put back.
TNotesEdit Reshape(const TSectionNotes& notes, const TSelection& selection, std::string name,
                   const std::function<void(std::int64_t&, std::int64_t&, std::int64_t&)>& change) {
  TTaken split = Take(notes, selection);
  if (split.taken.empty()) return Refused(notes, std::move(name), "no note is selected");
  std::int64_t earliest = kLastTick;
  std::int64_t latestEnd = 0;
  std::int64_t lowestKey = kHighestKey;
  std::int64_t highestKey = 0;
  std::vector<TPlaced> placed;
  for (auto& [part, note] : split.taken) {
    std::int64_t tick = note.tick;
    std::int64_t key = note.key;
    std::int64_t length = note.length;
    change(tick, key, length);
    earliest = std::min(earliest, tick);
    latestEnd = std::max(latestEnd, tick + length);
    // A key the note had (a data byte above 127 read from a file) may stay as it is.
    if (key != note.key) {
      lowestKey = std::min(lowestKey, key);
      highestKey = std::max(highestKey, key);
    }
    if (tick >= 0 && key >= 0 && key <= 255) {
      placed.emplace_back(
          part, TEditNote{static_cast<std::uint32_t>(tick), static_cast<std::uint8_t>(key),
                          note.velocity, static_cast<std::uint32_t>(length)});
    }
  }
  if (const auto refusal = PlaceRefusal(earliest, latestEnd, lowestKey, highestKey, notes.end)) {
    return Refused(notes, std::move(name), *refusal);
  }
  return PutBack(std::move(split.rest), placed, std::move(name));
}

std::string PartName(int part) {
  return std::string(kPartNames[static_cast<std::size_t>(part)]);
}

// Notes fitted into [0, end): those from the end on left out, those crossing it ended there.
struct TFitted {
  TNoteList notes;
  std::size_t leftOut = 0;
  std::size_t shortened = 0;
};

TFitted FitBefore(const TNoteList& notes, std::uint32_t end) {
  TFitted fitted;
  for (TEditNote note : notes) {
    if (note.tick >= end) {
      ++fitted.leftOut;
      continue;
    }
    if (note.End() > end) {
      note.length = end - note.tick;
      ++fitted.shortened;
    }
    fitted.notes.push_back(note);
  }
  return fitted;
}

std::string FitMessage(std::size_t leftOut, std::size_t shortened, std::string_view gone) {
  std::string message;
  if (leftOut > 0) message = NotesText(leftOut) + " " + std::string(gone);
  if (shortened > 0) {
    message += (message.empty() ? "" : ", ") + NotesText(shortened) + " shortened";
  }
  return message;
}

std::uint32_t Scaled(std::uint32_t ticks, int from, int to) {
  if (from == to) return ticks;
  return static_cast<std::uint32_t>(RoundedQuotient(
      std::uint64_t{ticks} * static_cast<std::uint64_t>(to), static_cast<std::uint64_t>(from)));
}

}  // namespace

TNoteId IdOf(int part, const TEditNote& note) {
  return {part, note.tick, note.key};
}

std::string NotesText(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " note" : " notes");
}

TNotesEdit AddNote(const TSectionNotes& notes, int part, const TEditNote& note) {
  const std::string name = "Add note";
  if (note.velocity < 1 || note.velocity > 127) {
    return Refused(notes, name, "a velocity is 1 to 127");
  }
  if (note.key > kHighestKey) return Refused(notes, name, "a key is 0 to 127");
  if (note.length == 0) return Refused(notes, name, "a note lasts at least one tick");
  if (const auto refusal = PlaceRefusal(note.tick, note.End(), note.key, note.key, notes.end)) {
    return Refused(notes, name, *refusal);
  }
  return PutBack(notes, {{part, note}}, name);
}

TNotesEdit RemoveNotes(const TSectionNotes& notes, const TSelection& selection) {
  TTaken split = Take(notes, selection);
  const std::string name = "Remove " + NotesText(split.taken.size());
  if (split.taken.empty()) return Refused(notes, name, "no note is selected");
  TNotesEdit edit;
  edit.notes = std::move(split.rest);
  edit.name = name;
  return edit;
}

TNotesEdit MoveNotes(const TSectionNotes& notes, const TSelection& selection, std::int64_t ticks,
                     int keys) {
  const std::string verb = ticks == 0 && keys != 0 ? "Transpose " : "Move ";
  return Reshape(notes, selection, verb + NotesText(selection.size()),
                 [&](std::int64_t& tick, std::int64_t& key, std::int64_t&) {
                   tick += ticks;
                   key += keys;
                 });
}

TNotesEdit ResizeNotes(const TSectionNotes& notes, const TSelection& selection,
                       std::int64_t ticks) {
  return Reshape(notes, selection, "Resize " + NotesText(selection.size()),
                 [&](std::int64_t&, std::int64_t&, std::int64_t& length) {
                   length = std::max<std::int64_t>(1, length + ticks);
                 });
}

TNotesEdit SetVelocity(const TSectionNotes& notes, const TSelection& selection, int velocity) {
  const std::string name = "Set velocity of " + NotesText(selection.size());
  if (velocity < 1 || velocity > 127) return Refused(notes, name, "a velocity is 1 to 127");
  TTaken split = Take(notes, selection);
  if (split.taken.empty()) return Refused(notes, name, "no note is selected");
  for (auto& placed : split.taken) placed.second.velocity = static_cast<std::uint8_t>(velocity);
  return PutBack(std::move(split.rest), split.taken, name);
}

TNotesEdit QuantizeNotes(const TSectionNotes& notes, const TSelection& selection,
                         const TSnapGrid& grid, int strength, int swing) {
  const auto percent = static_cast<std::int64_t>(std::clamp(strength, 0, 100));
  const std::int64_t end = notes.end;
  return Reshape(notes, selection, "Quantize " + NotesText(selection.size()),
                 [&](std::int64_t& tick, std::int64_t&, std::int64_t& length) {
                   const std::int64_t target = grid.Swung(static_cast<std::uint32_t>(tick), swing);
                   // tick + (target - tick) x strength / 100, halves rounded up.
                   const std::int64_t moved = (target - tick) * percent;
                   tick += moved >= 0 ? (2 * moved + 100) / 200 : -((-2 * moved + 99) / 200);
                   if (tick >= end) tick = std::max<std::int64_t>(0, end - 1);
                   length =
                       std::clamp<std::int64_t>(length, 1, std::max<std::int64_t>(1, end - tick));
                 });
}

TNotesEdit RepeatNotes(const TSectionNotes& notes, const TSelection& selection,
                       const TSnapGrid& grid) {
  const std::string name = "Repeat " + NotesText(selection.size());
  TTaken split = Take(notes, selection);
  if (split.taken.empty()) return Refused(notes, name, "no note is selected");
  std::uint32_t first = kLastTick;
  std::uint32_t last = 0;
  for (const auto& [part, note] : split.taken) {
    first = std::min(first, note.tick);
    last = std::max(last, note.End());
  }
  const std::int64_t span = grid.Ceil(last) - grid.Floor(first);
  TNotesEdit edit = MoveNotes(notes, selection, span, 0);
  if (edit.refusal) return Refused(notes, name, edit.refusal->substr(edit.refusal->find(": ") + 2));
  // The moved copies join the notes left where they were.
  for (const auto& [part, note] : split.taken) {
    split.rest.parts[static_cast<std::size_t>(part)].push_back(note);
  }
  std::vector<TPlaced> copies;
  for (const TNoteId& id : edit.selection) {
    const TNoteList& list = edit.notes.parts[static_cast<std::size_t>(id.part)];
    const auto found = std::find_if(list.begin(), list.end(), [&](const TEditNote& note) {
      return note.tick == id.tick && note.key == id.key;
    });
    copies.emplace_back(id.part, *found);
  }
  for (TNoteList& list : split.rest.parts) TidyNotes(list);
  return PutBack(std::move(split.rest), copies, name);
}

TNoteClipboard CopyNotes(const TSectionNotes& notes, const TSelection& selection,
                         const TSnapGrid& grid, int ticksPerQuarter) {
  TNoteClipboard clipboard;
  clipboard.ticksPerQuarter = ticksPerQuarter;
  const TTaken split = Take(notes, selection);
  if (split.taken.empty()) return clipboard;
  std::uint32_t first = kLastTick;
  for (const auto& [part, note] : split.taken) first = std::min(first, note.tick);
  const std::uint32_t origin = grid.BarFloor(first);
  for (auto [part, note] : split.taken) {
    note.tick -= origin;
    clipboard.entries.push_back({part, note});
  }
  return clipboard;
}

TNotesEdit PasteNotes(const TSectionNotes& notes, const TNoteClipboard& clipboard, std::uint32_t at,
                      int ticksPerQuarter) {
  const std::string name = "Paste " + NotesText(clipboard.entries.size());
  if (clipboard.Empty()) return Refused(notes, name, "nothing has been copied");
  std::vector<TPlaced> placed;
  std::int64_t latestEnd = 0;
  for (const TNoteClipboard::TEntry& entry : clipboard.entries) {
    TEditNote note = entry.note;
    const std::uint32_t start = Scaled(note.tick, clipboard.ticksPerQuarter, ticksPerQuarter);
    const std::uint32_t end = Scaled(note.End(), clipboard.ticksPerQuarter, ticksPerQuarter);
    note.tick = at + start;
    note.length = std::max<std::uint32_t>(1, end - start);
    latestEnd = std::max<std::int64_t>(latestEnd, note.End());
    placed.emplace_back(entry.part, note);
  }
  if (const auto refusal = PlaceRefusal(at, latestEnd, 0, 0, notes.end)) {
    return Refused(notes, name, *refusal);
  }
  return PutBack(notes, placed, name);
}

TNotesEdit ClearPart(const TSectionNotes& notes, int part) {
  TNotesEdit edit;
  edit.notes = notes;
  edit.notes.parts[static_cast<std::size_t>(part)].clear();
  edit.name = "Clear " + PartName(part);
  return edit;
}

TNotesEdit TransposePart(const TSectionNotes& notes, int part, int keys) {
  TSelection all;
  for (const TEditNote& note : notes.parts[static_cast<std::size_t>(part)]) {
    all.push_back(IdOf(part, note));
  }
  TNotesEdit edit = MoveNotes(notes, all, 0, keys);
  const std::string name = "Transpose " + PartName(part);
  if (edit.refusal) *edit.refusal = name + edit.refusal->substr(edit.refusal->find(": "));
  edit.name = name;
  return edit;
}

TNotesEdit CopyPartInto(const TSectionNotes& notes, int part, const TNoteList& source,
                        int targetSection) {
  TFitted fitted = FitBefore(source, notes.end);
  TNotesEdit edit;
  edit.notes = notes;
  edit.notes.parts[static_cast<std::size_t>(part)] = std::move(fitted.notes);
  edit.name = "Copy " + PartName(part) + " to " +
              std::string(kSectionNames[static_cast<std::size_t>(targetSection)]);
  edit.message = FitMessage(fitted.leftOut, fitted.shortened, "past the section's end left out");
  return edit;
}

TNotesEdit SetBarCount(const TSectionNotes& notes, const TPatternMeter& meter,
                       std::uint16_t oldBars, std::uint16_t bars, bool repeat) {
  const std::string name = "Set bar count to " + std::to_string(bars);
  if (bars == 0) return Refused(notes, name, "a section has at least one bar");
  if (!meter.HasBars()) return Refused(notes, name, "the time signature has no bars");
  const std::uint64_t end = meter.BarStart(bars);
  if (end > static_cast<std::uint64_t>(kLastTick)) {
    return Refused(notes, name,
                   "the section would end at tick " + GroupedNumber(end) + ", " +
                       GroupedNumber(end - kLastTick) +
                       " ticks past the last tick (65,535) a section has");
  }
  TNotesEdit edit;
  edit.name = name;
  edit.notes.end = static_cast<std::uint32_t>(end);
  std::size_t leftOut = 0;
  std::size_t shortened = 0;
  for (std::size_t part = 0; part < notes.parts.size(); ++part) {
    TNoteList list = notes.parts[part];
    const std::uint64_t had = meter.BarStart(oldBars);
    if (repeat && bars > oldBars && had > 0) {
      const TNoteList original = FitBefore(list, static_cast<std::uint32_t>(had)).notes;
      for (std::uint64_t copy = oldBars; copy < bars; copy += oldBars) {
        const std::uint64_t shift = meter.BarStart(copy);
        for (TEditNote note : original) {
          if (note.tick + shift >= end) continue;
          note.tick += static_cast<std::uint32_t>(shift);
          note.length =
              std::min<std::uint32_t>(note.length, static_cast<std::uint32_t>(end) - note.tick);
          list.push_back(note);
        }
      }
      TidyNotes(list);
    }
    TFitted fitted = FitBefore(list, static_cast<std::uint32_t>(end));
    leftOut += fitted.leftOut;
    shortened += fitted.shortened;
    edit.notes.parts[part] = std::move(fitted.notes);
  }
  edit.message = FitMessage(leftOut, shortened, "removed");
  return edit;
}

}  // namespace brondel
