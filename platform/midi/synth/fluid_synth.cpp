#include "platform/midi/synth/fluid_synth.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/midi_messages.h"
#include "platform/offline_synth.h"

namespace brondel::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSoundfontVariable = "BRONDEL_SOUNDFONT";

// Adds the file `path` leads to (through links), if there is one not yet among them.
void AddResolved(std::vector<std::string>& candidates, const fs::path& path) {
  std::error_code error;
  const fs::path file = fs::canonical(path, error);
  if (error || !fs::is_regular_file(file, error)) return;
  if (std::find(candidates.begin(), candidates.end(), file.string()) == candidates.end()) {
    candidates.push_back(file.string());
  }
}

// The .sf2 files of a folder other than default.sf2 and FluidR3_GM.sf2, by name.
std::vector<fs::path> OtherSoundfontsIn(const fs::path& folder) {
  std::vector<fs::path> others;
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const fs::path name = entry->path().filename();
    if (entry->path().extension() == ".sf2" && name != "default.sf2" && name != "FluidR3_GM.sf2") {
      others.push_back(entry->path());
    }
  }
  std::sort(others.begin(), others.end());
  return others;
}

void ApplySetting(fluid_settings_t* settings, const std::string& name, const std::string& value) {
  switch (fluid_settings_get_type(settings, name.c_str())) {
    case FLUID_INT_TYPE:
      fluid_settings_setint(settings, name.c_str(), std::stoi(value));
      break;
    case FLUID_NUM_TYPE:
      fluid_settings_setnum(settings, name.c_str(), std::stod(value));
      break;
    default:
      fluid_settings_setstr(settings, name.c_str(), value.c_str());
  }
}

}  // namespace

SoundfontPlaces SystemSoundfontPlaces() {
  SoundfontPlaces places;
  if (const char* named = std::getenv(kSoundfontVariable)) places.named = named;
#ifdef _WIN32
  places.known = {"FluidR3_GM.sf2", "TimGM6mb.sf2"};
#else
  places.defaultLink = "/usr/share/sounds/sf2/default-GM.sf2";
  places.folder = "/usr/share/soundfonts";
  places.known = {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2"};
#endif
  return places;
}

std::vector<std::string> SoundfontCandidates(const SoundfontPlaces& places) {
  std::vector<std::string> candidates;
  if (!places.named.empty()) candidates.push_back(places.named);
  if (!places.defaultLink.empty()) AddResolved(candidates, places.defaultLink);
  if (!places.folder.empty()) {
    const fs::path folder(places.folder);
    AddResolved(candidates, folder / "default.sf2");
    AddResolved(candidates, folder / "FluidR3_GM.sf2");
    for (const fs::path& other : OtherSoundfontsIn(folder)) AddResolved(candidates, other);
  }
  candidates.insert(candidates.end(), places.known.begin(), places.known.end());
  return candidates;
}

std::vector<std::string> GeneralMidiSoundfonts() {
  return SoundfontCandidates(SystemSoundfontPlaces());
}

std::string FindSoundfont(const std::vector<std::string>& soundfonts) {
  for (const std::string& path : soundfonts) {
    std::error_code error;
    if (fs::is_regular_file(path, error)) return path;
  }
  return {};
}

FluidSynth::FluidSynth(double sampleRate, const FluidSettingList& extra)
    : settings_(new_fluid_settings()) {
  fluid_settings_setnum(settings_, "synth.sample-rate", sampleRate);
  fluid_settings_setstr(settings_, "synth.midi-bank-select", "gm");
  for (const auto& [name, value] : extra) ApplySetting(settings_, name, value);
}

FluidSynth::~FluidSynth() {
  if (synth_ != nullptr) delete_fluid_synth(synth_);
  delete_fluid_settings(settings_);
}

std::string FluidSynth::Load(const std::string& soundfont) {
  synth_ = new_fluid_synth(settings_);
  if (synth_ == nullptr) return "the synthesizer could not be created";
  if (fluid_synth_sfload(synth_, soundfont.c_str(), 1) < 0) {
    return "the soundfont " + soundfont + " could not be loaded";
  }
  // FluidSynth makes channel 10 a drum channel as it creates the synthesizer; saying so here keeps
  // both paths to it whatever the settings.
  fluid_synth_set_channel_type(synth_, midi::kDrumChannel, CHANNEL_TYPE_DRUM);
  return {};
}

double FluidSynth::SampleRate() const {
  double rate = 0;
  fluid_settings_getnum(settings_, "synth.sample-rate", &rate);
  return rate;
}

void FluidSynth::Play(const MidiMessage& message) const {
  const int channel = midi::ChannelOf(message.bytes[0]);
  const int data1 = message.bytes[1];
  const int data2 = message.bytes[2];
  switch (midi::StatusKind(message.bytes[0])) {
    case midi::kNoteOff:
      fluid_synth_noteoff(synth_, channel, data1);
      break;
    case midi::kNoteOn:
      fluid_synth_noteon(synth_, channel, data1, data2);
      break;
    case midi::kPolyPressure:
      fluid_synth_key_pressure(synth_, channel, data1, data2);
      break;
    case midi::kControlChange:
      fluid_synth_cc(synth_, channel, data1, data2);
      break;
    case midi::kProgramChange:
      fluid_synth_program_change(synth_, channel, data1);
      break;
    case midi::kChannelPressure:
      fluid_synth_channel_pressure(synth_, channel, data1);
      break;
    default:  // midi::kPitchBend
      fluid_synth_pitch_bend(synth_, channel, data1 | data2 << 7);
  }
}

}  // namespace brondel::platform
