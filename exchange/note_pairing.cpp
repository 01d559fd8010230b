#include "exchange/note_pairing.h"

#include <algorithm>
#include <array>
#include <deque>
#include <limits>
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

}  // namespace

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

}  // namespace brondel::midi_in
