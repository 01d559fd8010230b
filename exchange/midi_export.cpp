#include "exchange/midi_export.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "document/rhythm_timing.h"
#include "platform/midi_file.h"
#include "platform/midi_service.h"

namespace brondel {

namespace {

using platform::TMidiFile;
using platform::TMidiFileTrack;

// The time signature as the rhythm stores it, 24 clocks per click, 8 32nds a quarter note.
std::vector<std::uint8_t> TimeSignatureData(std::uint8_t signature) {
  return {TimeSignatureNumerator(signature), TimeSignaturePower(signature), 24, 8};
}

std::vector<std::uint8_t> TempoData(std::uint64_t microsPerQuarter) {
  return {static_cast<std::uint8_t>(microsPerQuarter >> 16),
          static_cast<std::uint8_t>(microsPerQuarter >> 8),
          static_cast<std::uint8_t>(microsPerQuarter)};
}

std::vector<std::uint8_t> TrackName(std::string_view name) {
  return platform::MetaEventBytes(platform::kMetaTrackName, {name.begin(), name.end()});
}

// Track 0 is the conductor track, track 1 + p part p's.
TMidiFile EmptySong(const TRhythmSlot& slot, const std::string& title) {
  const int division = MidiTicksPerQuarterNote(slot);
  const std::uint64_t tempo = QuarterNoteMicroseconds(division, slot.header.Tempo());
  TMidiFile file{1, static_cast<std::uint16_t>(division), {}};
  file.tracks.push_back(
      {{{0, TrackName(title)},
        {0, platform::MetaEventBytes(platform::kMetaTempo, TempoData(tempo))},
        {0, platform::MetaEventBytes(platform::kMetaTimeSignature,
                                     TimeSignatureData(slot.header.TimeSignature()))}},
       0});
  for (const std::string_view name : kPartNames) file.tracks.push_back({{{0, TrackName(name)}}, 0});
  return file;
}

// A part's message goes on its own track; a message on any other channel on the conductor's.
TMidiFileTrack& TrackFor(TMidiFile& file, const platform::MidiMessage& message) {
  const int part = ChannelPart(midi::ChannelOf(message.bytes[0]));
  return file.tracks[part < 0 ? 0 : static_cast<std::size_t>(part) + 1];
}

// Appends a buffer where the song ends; returns the tick of its last event, the new end.
bool AppendPlayedBuffer(TMidiFile& file, std::uint64_t& endTick, const TEventBuffer& buffer) {
  const auto events = platform::DecodeStreamEvents(buffer);
  if (!events) return false;
  const std::uint64_t start = endTick;
  for (const platform::StreamEvent& event : *events) {
    endTick = start + event.tick;
    if (!event.message) continue;
    const platform::MidiMessage& message = *event.message;
    TrackFor(file, message)
        .events.push_back({endTick, {message.bytes.begin(), message.bytes.begin() + message.size}});
  }
  return true;
}

}  // namespace

TMidiExport ExportMidiFile(const TRhythmSlot& slot, const std::string& title,
                           const std::vector<TEventBuffer>& buffers,
                           const std::vector<TMidiText>& texts) {
  // The stream cannot play at a division of 0, and no MIDI tempo says so.
  if (slot.header.Tempo() == 0) return {{}, "tempo 0 does not play, so it has no MIDI tempo"};
  TMidiFile file = EmptySong(slot, title);
  for (const TMidiText& text : texts) {
    file.tracks[0].events.push_back(
        {text.tick, platform::MetaEventBytes(text.type, {text.text.begin(), text.text.end()})});
  }
  std::uint64_t endTick = 0;
  for (const TEventBuffer& buffer : buffers) {
    if (!AppendPlayedBuffer(file, endTick, buffer)) {
      return {{}, "a buffer that is not made of whole stream events"};
    }
  }
  // Messages of channels no part plays join the texts on the conductor track, in time order.
  std::stable_sort(file.tracks[0].events.begin(), file.tracks[0].events.end(),
                   [](const auto& a, const auto& b) { return a.tick < b.tick; });
  // The end records are not written (their 0xFC is no data byte), but the song lasts to them.
  for (TMidiFileTrack& track : file.tracks) track.endTick = endTick;
  platform::TMidiFileBytes written = platform::WriteMidiFile(file);
  return {std::move(written.bytes), std::move(written.error)};
}

}  // namespace brondel
