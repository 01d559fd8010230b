#include "exchange/midi_sources.h"

#include <algorithm>
#include <utility>

#include "document/rhythm_timing.h"

namespace brondel {

namespace {

using platform::TMidiFile;
using platform::TMidiFileEvent;

constexpr std::uint64_t kBeyondAnySection = std::uint64_t{1} << 40;

std::uint8_t Kind(const TMidiFileEvent& event) {
  return midi::StatusKind(event.bytes[0]);
}
int Channel(const TMidiFileEvent& event) {
  return midi::ChannelOf(event.bytes[0]);
}

// A whole channel message: its status byte and the data bytes it carries, each below 128.
bool IsChannelMessage(const TMidiFileEvent& event) {
  if (event.bytes.empty() || !midi::IsChannelStatus(event.bytes[0])) return false;
  if (event.bytes.size() != 1 + static_cast<std::size_t>(midi::DataByteCount(event.bytes[0]))) {
    return false;
  }
  return std::all_of(event.bytes.begin() + 1, event.bytes.end(), midi::IsDataByte);
}

bool IsNote(const TMidiFileEvent& event) {
  return IsChannelMessage(event) && midi::IsNoteMessage(event.bytes[0]);
}

bool IsNoteOn(const TMidiFileEvent& event) {
  return IsNote(event) && midi::IsNoteOn(event.bytes[0], event.bytes[2]);
}

std::string TrackName(const platform::TMidiFileTrack& track) {
  for (const TMidiFileEvent& event : track.events) {
    if (platform::MetaType(event) == platform::kMetaTrackName) {
      const auto name = platform::MetaData(event);
      return std::string(name.begin(), name.end());
    }
  }
  return {};
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string ChannelList(const std::vector<int>& channels) {
  std::string text = channels.size() == 1 ? "channel " : "channels ";
  for (std::size_t i = 0; i < channels.size(); ++i) {
    text += (i > 0 ? ", " : "") + std::to_string(channels[i] + 1);
  }
  return text;
}

// The sources that no part takes among the tracks with notes.
std::vector<TMidiSource> UntakenTracks(const std::vector<TMidiSourceInfo>& infos,
                                       const TPartSources& sources) {
  std::vector<TMidiSource> untaken;
  for (const TMidiSourceInfo& info : infos) {
    const bool taken =
        std::find(sources.parts.begin(), sources.parts.end(), info.source) != sources.parts.end();
    if (info.source.kind == TMidiSource::TKind::kTrack && !taken) untaken.push_back(info.source);
  }
  return untaken;
}

// Channels 10 to Drums, the others to the other parts by their first notes.
void AssignChannels(const TMidiFile& file, const std::vector<TMidiSourceInfo>& infos,
                    TPartSources& sources) {
  std::vector<std::pair<std::uint64_t, int>> firstNotes;  // tick, channel
  for (const TMidiSourceInfo& info : infos) {
    if (info.source.kind != TMidiSource::TKind::kChannel) continue;
    if (info.source.index == midi::kDrumChannel) {
      sources.parts[0] = info.source;
      continue;
    }
    const TMidiMessages messages = SourceMessages(file, info.source);
    const auto first =
        std::find_if(messages.begin(), messages.end(), [](const auto* m) { return IsNoteOn(*m); });
    firstNotes.emplace_back((*first)->tick, info.source.index);
  }
  std::sort(firstNotes.begin(), firstNotes.end());
  for (std::size_t i = 0; i < firstNotes.size(); ++i) {
    const TMidiSource source{TMidiSource::TKind::kChannel, firstNotes[i].second};
    if (i + 1 < kPartCount) {
      sources.parts[i + 1] = source;
    } else {
      sources.leftOut.push_back(source);
    }
  }
}

}  // namespace

std::string NoteCount(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " note" : " notes");
}

std::string DescribeMidiSource(const TMidiSourceInfo& info) {
  const std::string notes = ": " + NoteCount(info.notes);
  if (info.source.kind == TMidiSource::TKind::kChannel) {
    return "Channel " + std::to_string(info.source.index + 1) + notes;
  }
  std::string text = "Track " + std::to_string(info.source.index + 1);
  if (!info.name.empty()) text += " \"" + info.name + "\"";
  if (!info.channels.empty()) text += " (" + ChannelList(info.channels) + ")";
  return text + notes;
}

bool HoldsNotes(const TMidiFile& file) {
  return std::any_of(file.tracks.begin(), file.tracks.end(), [](const auto& track) {
    return std::any_of(track.events.begin(), track.events.end(), IsNoteOn);
  });
}

std::vector<TMidiSourceInfo> ListMidiSources(const TMidiFile& file) {
  std::vector<TMidiSourceInfo> sources;
  std::array<std::size_t, midi::kChannelCount> channelNotes{};
  for (std::size_t t = 0; t < file.tracks.size(); ++t) {
    TMidiSourceInfo info{
        {TMidiSource::TKind::kTrack, static_cast<int>(t)}, TrackName(file.tracks[t]), {}, 0};
    std::array<bool, midi::kChannelCount> used{};
    for (const TMidiFileEvent& event : file.tracks[t].events) {
      if (!IsNoteOn(event)) continue;
      ++info.notes;
      ++channelNotes[static_cast<std::size_t>(Channel(event))];
      used[static_cast<std::size_t>(Channel(event))] = true;
    }
    for (int c = 0; c < midi::kChannelCount; ++c) {
      if (used[static_cast<std::size_t>(c)]) info.channels.push_back(c);
    }
    if (info.notes > 0) sources.push_back(std::move(info));
  }
  for (int c = 0; c < midi::kChannelCount; ++c) {
    if (channelNotes[static_cast<std::size_t>(c)] == 0) continue;
    sources.push_back(
        {{TMidiSource::TKind::kChannel, c}, {}, {}, channelNotes[static_cast<std::size_t>(c)]});
  }
  return sources;
}

TPartSources AssignPartSources(const TMidiFile& file) {
  TPartSources sources;
  bool named = false;
  for (std::size_t t = 0; t < file.tracks.size(); ++t) {
    const auto part = PartNamed(Trimmed(TrackName(file.tracks[t])));
    if (!part) continue;
    named = true;
    auto& source = sources.parts[static_cast<std::size_t>(*part)];
    if (!source) source = TMidiSource{TMidiSource::TKind::kTrack, static_cast<int>(t)};
  }
  const std::vector<TMidiSourceInfo> infos = ListMidiSources(file);
  if (named) {
    sources.leftOut = UntakenTracks(infos, sources);
  } else {
    AssignChannels(file, infos, sources);
  }
  return sources;
}

int ProposedMidiSource(const TMidiFile& file, const std::vector<TMidiSourceInfo>& sources,
                       int part) {
  const auto assigned = AssignPartSources(file).parts[static_cast<std::size_t>(part)];
  const auto found = std::find_if(sources.begin(), sources.end(), [&](const TMidiSourceInfo& info) {
    return assigned && info.source == *assigned;
  });
  return found == sources.end() ? 0 : static_cast<int>(found - sources.begin());
}

TMidiMessages SourceMessages(const TMidiFile& file, const TMidiSource& source) {
  TMidiMessages messages;
  const bool wholeTrack = source.kind == TMidiSource::TKind::kTrack;
  for (std::size_t t = 0; t < file.tracks.size(); ++t) {
    if (wholeTrack && static_cast<int>(t) != source.index) continue;
    for (const TMidiFileEvent& event : file.tracks[t].events) {
      if (IsChannelMessage(event) && (wholeTrack || Channel(event) == source.index)) {
        messages.push_back(&event);
      }
    }
  }
  if (!wholeTrack) {
    std::stable_sort(messages.begin(), messages.end(),
                     [](const auto* a, const auto* b) { return a->tick < b->tick; });
  }
  return messages;
}

std::size_t CountNoteOns(const TMidiMessages& messages) {
  return static_cast<std::size_t>(
      std::count_if(messages.begin(), messages.end(), [](const auto* m) { return IsNoteOn(*m); }));
}

std::uint64_t RhythmTick(std::uint64_t tick, int division, int q) {
  const std::uint64_t scaled = std::min(tick, kBeyondAnySection) * static_cast<std::uint64_t>(q);
  return RoundedQuotient(scaled, static_cast<std::uint64_t>(division));
}

std::vector<TSourceNote> RhythmNotes(const TMidiMessages& messages, int division, int q) {
  std::vector<TSourceNote> notes;
  for (const TMidiFileEvent* message : messages) {
    if (!IsNote(*message)) continue;
    const bool on = Kind(*message) == midi::kNoteOn;
    notes.push_back({RhythmTick(message->tick, division, q), message->bytes[1],
                     on ? message->bytes[2] : std::uint8_t{0}});
  }
  return notes;
}

TPartSettings SourceSettings(const TMidiMessages& messages, TPartSettings base) {
  std::array<bool, kParamCount> taken{};
  const auto take = [&](std::size_t k, std::uint8_t value) {
    if (taken[k]) return;
    base.bytes[k] = value;
    taken[k] = true;
  };
  for (const TMidiFileEvent* message : messages) {
    if (Kind(*message) == midi::kProgramChange) take(0, message->bytes[1]);
    if (Kind(*message) != midi::kControlChange) continue;
    const auto controller =
        std::find(kSettingControllers.begin(), kSettingControllers.end(), message->bytes[1]);
    if (controller != kSettingControllers.end()) {
      take(static_cast<std::size_t>(controller - kSettingControllers.begin()) + 1,
           message->bytes[2]);
    }
  }
  return base;
}

std::vector<TSectionMarker> SectionMarkers(const TMidiFile& file) {
  std::vector<TSectionMarker> markers;
  for (const auto& track : file.tracks) {
    for (const TMidiFileEvent& event : track.events) {
      if (platform::MetaType(event) != platform::kMetaMarker) continue;
      const auto text = platform::MetaData(event);
      if (const auto section = SectionNamed(Trimmed(std::string(text.begin(), text.end())))) {
        markers.push_back({event.tick, *section});
      }
    }
  }
  std::stable_sort(markers.begin(), markers.end(),
                   [](const auto& a, const auto& b) { return a.tick < b.tick; });
  return markers;
}

}  // namespace brondel
