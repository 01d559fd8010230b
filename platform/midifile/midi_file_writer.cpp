#include "platform/midi_file.h"

// libsmf's header includes glib's inside extern "C"; the C++ headers glib pulls in must be
// included before it.
#include <limits>
#include <memory>
#include <type_traits>

#include <smf.h>

#include "platform/file_io.h"

namespace brondel::platform {

namespace {

constexpr std::size_t kMaxMidiFileSize = 64 * 1024 * 1024;
constexpr std::uint64_t kLastTick = std::numeric_limits<int>::max();  // libsmf counts in int

using TSmf = std::unique_ptr<smf_t, decltype(&smf_delete)>;

// The variable-length number of a meta event's length: seven bits a byte, high bytes first.
void AppendVariableLength(std::vector<std::uint8_t>& bytes, std::size_t value) {
  std::vector<std::uint8_t> groups{static_cast<std::uint8_t>(value & 0x7F)};
  for (value >>= 7; value > 0; value >>= 7) {
    groups.push_back(static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
  }
  bytes.insert(bytes.end(), groups.rbegin(), groups.rend());
}

// Adds one track with its events and its end; false when the library refuses any of it.
bool AddTrack(smf_t* smf, const TMidiFileTrack& track) {
  smf_track_t* added = smf_track_new();
  if (added == nullptr) return false;
  smf_add_track(smf, added);
  for (const TMidiFileEvent& event : track.events) {
    if (event.tick > kLastTick || event.bytes.empty()) return false;
    // The library copies the bytes; its parameter only lacks the const.
    smf_event_t* made = smf_event_new_from_pointer(const_cast<std::uint8_t*>(event.bytes.data()),
                                                   static_cast<int>(event.bytes.size()));
    if (made == nullptr) return false;
    smf_track_add_event_pulses(added, made, static_cast<int>(event.tick));
  }
  return track.endTick <= kLastTick &&
         smf_track_add_eot_pulses(added, static_cast<int>(track.endTick)) == 0;
}

// libsmf writes only to a named file: lay the file out in a scratch file and read it back.
TMidiFileBytes SaveToBytes(smf_t* smf) {
  const TScratchFile scratch;
  if (scratch.Path().empty()) return {{}, "cannot create a temporary file: " + scratch.Error()};
  if (smf_save(smf, scratch.Path().c_str()) != 0) {
    return {{}, "the MIDI file library could not write the file"};
  }
  TReadResult read = ReadWholeFile(scratch.Path(), kMaxMidiFileSize);
  if (!read.ok) return {{}, "cannot read the temporary file back: " + read.error};
  return {std::move(read.bytes), {}};
}

}  // namespace

std::vector<std::uint8_t> MetaEventBytes(std::uint8_t type, const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> bytes{kMetaStatus, type};
  AppendVariableLength(bytes, data.size());
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

TMidiFileBytes WriteMidiFile(const TMidiFile& file) {
  const TSmf smf(smf_new(), smf_delete);
  if (smf == nullptr || file.division == 0 || smf_set_format(smf.get(), file.format) != 0 ||
      smf_set_ppqn(smf.get(), file.division) != 0) {
    return {{}, "the MIDI file library refused the file's header"};
  }
  for (const TMidiFileTrack& track : file.tracks) {
    if (!AddTrack(smf.get(), track)) return {{}, "the MIDI file library refused a track"};
  }
  return SaveToBytes(smf.get());
}

}  // namespace brondel::platform
