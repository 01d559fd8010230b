// export-midi: Standard MIDI Files that sound as the program plays a section or "Play all".
#include <filesystem>
#include <utility>

#include "exchange/midi_export.h"
#include "exchange/midi_import.h"
#include "tools/commands.h"
#include "tools/queue_capture.h"
#include "tools/rhythm_input.h"

namespace brondel::tool {

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> MidiFileOf(const std::string& path, const TRhythmSlot& slot,
                                     const std::string& what,
                                     const std::vector<TEventBuffer>& buffers) {
  TMidiExport exported = ExportMidiFile(slot, fs::path(path).stem().string() + " " + what, buffers);
  if (!exported.refusal.empty()) throw TFileError(path, exported.refusal);
  return std::move(exported.bytes);
}

std::vector<std::uint8_t> SectionMidiFile(const std::string& path, TRhythmDocuments& docs,
                                          int section) {
  return MidiFileOf(path, docs.slots[kMainSlot],
                    std::string(kSectionNames[static_cast<std::size_t>(section)]),
                    {SectionBuffer(path, docs, section)});
}

}  // namespace

int RunExportMidi(const TCommandLine& line, TConsole& console) {
  if (line.Has("--section") && line.Has("--play-all")) {
    throw TUsageError("--section and --play-all exclude each other");
  }
  const std::string& path = line.positional[0];
  const std::string out = line.Value("-o");
  const std::optional<int> section = line.Has("--section")
                                         ? std::optional(SectionOf(path, line.Value("--section")))
                                         : std::nullopt;
  const bool oneFile = section || line.Has("--play-all");
  if (!oneFile && out == kStandardOutputName) {
    throw TUsageError("-o - writes one file: add --section or --play-all");
  }
  TRhythmDocuments docs = OpenAsMainFile(path, console.err);
  if (section) {
    WriteOutput(out, SectionMidiFile(path, docs, *section), console.out);
  } else if (line.Has("--play-all")) {
    WriteOutput(out,
                MidiFileOf(path, docs.slots[kMainSlot], "Play all", PlayAllBuffers(path, docs)),
                console.out);
  } else {
    // One file per section, written all or none.
    std::vector<platform::TFileToWrite> files;
    for (int s = 0; s < kSectionCount; ++s) {
      files.push_back({SectionFileName(out, s), SectionMidiFile(path, docs, s)});
    }
    WriteOutputs(files);
  }
  return kExitOk;
}

}  // namespace brondel::tool
