#include "exchange/note_pairing.h"

#include <algorithm>
#include <array>
#include <deque>
#include <limits>
#include <optional>
#include <tuple>
#include <utility>

namespace brondel::midi_in {

namespace {

constexpr int kKeyCount = 128;
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

// A note of a part on its way out, and whether it is a note-off that ends a note started at its
// own tick (which must follow that note-on).
struct TOrderedNote {
  TTimedNote note;
  bool endsItsOwnTick = false;
};

bool IsOff(const TTimedNote& note) {
  return note.velocity == 0;
}

// The notes in time order, each key's note-offs before its note-ons of the same tick (a note-off
// that the file writes after the next note-on of its key ends the note before, not the new one);
// otherwise in the order given.
std::vector<TTimedNote> InSendOrder(std::vector<TOrderedNote> ordered) {
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const auto& a, const auto& b) { return a.note.time < b.note.time; });
  // Each note's place: its own, but a note-off takes the place of its key's first note-on of the
  // same tick, just before it, unless it ends that very note.
  struct TPlace {
    std::uint32_t time;
    std::size_t place;
    bool on;
    std::size_t note;
    bool operator<(const TPlace& other) const {
      return std::tie(time, place, on) < std::tie(other.time, other.place, other.on);
    }
  };
  std::array<std::optional<TPlace>, kKeyCount> firstOn;
  std::vector<TPlace> places;
  places.reserve(ordered.size());
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    const TTimedNote& note = ordered[i].note;
    std::optional<TPlace>& on = firstOn[note.key];
    if (on && on->time != note.time) on.reset();
    if (!IsOff(note)) {
      places.push_back({note.time, i, true, i});
      if (!on) on = places.back();
    } else {
      const bool before = on && !ordered[i].endsItsOwnTick;
      places.push_back({note.time, before ? on->place : i, false, i});
    }
  }
  std::stable_sort(places.begin(), places.end());
  std::vector<TTimedNote> notes;
  notes.reserve(places.size());
  for (const TPlace& place : places) notes.push_back(ordered[place.note].note);
  return notes;
}

}  // namespace

TShapedPart ShapePart(const std::vector<TSourceNote>& notes, std::uint64_t end) {
  TPairing pairing = PairNotes(notes, end);
  // Each note's tick within the section; a note that rounding (or the file) left no length ends
  // a tick after it starts, so that its note-off can go before the next note-on of its key.
  std::vector<std::uint64_t> time(notes.size());
  for (std::size_t i = 0; i < notes.size(); ++i) time[i] = std::min(notes[i].tick, end);
  for (std::size_t i = 0; i < notes.size(); ++i) {
    if (!pairing.kept[i] || pairing.offOf[i] == kNone) continue;
    if (time[pairing.offOf[i]] == time[i]) time[pairing.offOf[i]] = time[i] + 1;
  }
  const auto endOf = [&](std::size_t on) {
    return pairing.offOf[on] == kNone ? end : time[pairing.offOf[on]];
  };
  // A note that the next note of its key starts within is closed right before that one starts,
  // and its own note-off goes.
  std::vector<std::size_t> closeBefore(notes.size(), kNone);  // per note-on: the note it closes
  std::vector<bool> closed(notes.size(), false);
  std::array<std::size_t, kKeyCount> previous;
  previous.fill(kNone);
  for (std::size_t i = 0; i < notes.size(); ++i) {
    if (!pairing.kept[i] || !IsOn(notes[i])) continue;
    const std::size_t before = std::exchange(previous[notes[i].key], i);
    if (before == kNone || time[i] >= endOf(before)) continue;
    closeBefore[i] = before;
    closed[before] = true;
    if (pairing.offOf[before] != kNone) pairing.kept[pairing.offOf[before]] = false;
  }
  TShapedPart shaped;
  shaped.leftOut = pairing.leftOut;
  std::vector<TOrderedNote> ordered;
  for (std::size_t i = 0; i < notes.size(); ++i) {
    const auto at = static_cast<std::uint32_t>(time[i]);
    if (closeBefore[i] != kNone) {
      ordered.push_back({{at, notes[i].key, 0}, time[closeBefore[i]] == time[i]});
      ++shaped.restarted;
    }
    if (!pairing.kept[i]) continue;
    const bool lengthened = !IsOn(notes[i]) && time[i] != std::min(notes[i].tick, end);
    if (lengthened) ++shaped.lengthened;
    ordered.push_back({{at, notes[i].key, notes[i].velocity}, false});
  }
  for (std::size_t i = 0; i < notes.size(); ++i) {
    if (!pairing.kept[i] || !IsOn(notes[i]) || closed[i] || pairing.offOf[i] != kNone) continue;
    ordered.push_back({{static_cast<std::uint32_t>(end), notes[i].key, 0}, false});
    ++shaped.cut;
  }
  shaped.notes = InSendOrder(std::move(ordered));
  return shaped;
}

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
  if (shaped.lengthened > 0) {
    notices.push_back(item + NoteCount(shaped.lengthened) +
                      " shorter than half a tick kept at one tick");
  }
  return notices;
}

}  // namespace brondel::midi_in
