#include "tools/midi_file.h"

#include <smf.h>

#include <QTemporaryFile>
#include <memory>
#include <stdexcept>

#include "document/rhythm_format.h"
#include "platform/files/file_io.h"

namespace brondel::tool {

namespace {

constexpr int kTrackNameMeta = 0x03;
constexpr std::uint8_t kFirstPartChannel = 9;  // Drums on channel 10 (9 counted from 0)
constexpr std::size_t kMaxMidiFileSize = 64 * 1024 * 1024;

using TSmf = std::unique_ptr<smf_t, decltype(&smf_delete)>;

template <typename T>
T* Checked(T* made) {
  if (made == nullptr) throw std::runtime_error("the MIDI file library refused the file");
  return made;
}

smf_event_t* MetaEvent(std::vector<std::uint8_t> bytes) {
  return Checked(smf_event_new_from_pointer(bytes.data(), static_cast<int>(bytes.size())));
}

smf_track_t* AddNamedTrack(smf_t* smf, const std::string& name) {
  smf_track_t* track = Checked(smf_track_new());
  smf_add_track(smf, track);
  smf_track_add_event_pulses(track, Checked(smf_event_new_textual(kTrackNameMeta, name.c_str())),
                             0);
  return track;
}

// Tempo 500,000 us per quarter note, so that a tick lasts 500,000 / division us, as on the
// stream; the time signature as the rhythm stores it, 24 clocks per click, 8 32nds a quarter.
void AddConductorEvents(smf_track_t* conductor, std::uint8_t timeSignature) {
  smf_track_add_event_pulses(conductor, MetaEvent({0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}), 0);
  smf_track_add_event_pulses(
      conductor,
      MetaEvent({0xFF, 0x58, 0x04, static_cast<std::uint8_t>(timeSignature >> 3),
                 static_cast<std::uint8_t>(timeSignature & 0x07), 24, 8}),
      0);
}

smf_event_t* MessageEvent(const platform::MidiMessage& message) {
  const auto& b = message.bytes;
  return Checked(smf_event_new_from_bytes(b[0], b[1], message.size == 3 ? b[2] : -1));
}

// Track 0 is the conductor track, track 1 + p part p's. A part's messages go on its own track;
// any other channel would go on the conductor track.
smf_track_t* TrackFor(const platform::MidiMessage& message,
                      const std::vector<smf_track_t*>& tracks) {
  const int part = (message.bytes[0] & 0x0F) - kFirstPartChannel;
  if (part < 0 || part >= kPartCount) return tracks[0];
  return tracks[static_cast<std::size_t>(part) + 1];
}

std::vector<std::uint8_t> SaveToBytes(smf_t* smf) {
  QTemporaryFile temporary;
  if (!temporary.open()) throw std::runtime_error("cannot create a temporary file");
  const std::string name = temporary.fileName().toStdString();
  temporary.close();
  if (smf_save(smf, name.c_str()) != 0) {
    throw std::runtime_error("the MIDI file library could not write the file");
  }
  platform::TReadResult read = platform::ReadWholeFile(name, kMaxMidiFileSize);
  if (!read.ok) throw std::runtime_error("cannot read the temporary file back: " + read.error);
  return std::move(read.bytes);
}

}  // namespace

void AppendPlayedBuffer(TMidiSong& song, const TEventBuffer& buffer) {
  const auto events = platform::DecodeStreamEvents(buffer);
  if (!events) throw std::runtime_error("a buffer that is not made of whole stream events");
  const std::uint64_t start = song.endTick;
  for (const platform::StreamEvent& event : *events) {
    song.events.push_back({start + event.tick, event.message});
    song.endTick = start + event.tick;
  }
}

std::vector<std::uint8_t> BuildMidiFile(const TMidiSong& song, const TMidiFileHeader& header) {
  if (header.division == 0) throw std::runtime_error("a division of 0 ticks per quarter note");
  TSmf smf(Checked(smf_new()), smf_delete);
  if (smf_set_format(smf.get(), 1) != 0 || smf_set_ppqn(smf.get(), header.division) != 0) {
    throw std::runtime_error("the MIDI file library refused the file's header");
  }
  std::vector<smf_track_t*> tracks{AddNamedTrack(smf.get(), header.title)};
  AddConductorEvents(tracks[0], header.timeSignature);
  for (const std::string_view name : kPartNames) {
    tracks.push_back(AddNamedTrack(smf.get(), std::string(name)));
  }
  for (const platform::StreamEvent& event : song.events) {
    if (!event.message) continue;
    smf_track_add_event_pulses(TrackFor(*event.message, tracks), MessageEvent(*event.message),
                               static_cast<int>(event.tick));
  }
  // The end records are not written (their 0xFC is no data byte), but the song lasts to them.
  for (smf_track_t* track : tracks) {
    if (smf_track_add_eot_pulses(track, static_cast<int>(song.endTick)) != 0) {
      throw std::runtime_error("the MIDI file library refused a track's end");
    }
  }
  return SaveToBytes(smf.get());
}

}  // namespace brondel::tool
