// import-midi and from-midi: rhythms from Standard MIDI Files, written as "Save as" writes them.
#include <utility>

#include "exchange/midi_import.h"
#include "tools/commands.h"
#include "tools/rhythm_input.h"

namespace brondel::tool {

namespace {

platform::TMidiFile ReadMidi(const std::string& path) {
  platform::TMidiFileRead read = platform::ReadMidiFileAt(path);
  if (!read.error.empty()) throw TFileError(path, read.error);
  return std::move(read.file);
}

void Refused(const std::optional<TMidiRefusal>& refusal) {
  if (refusal) throw TFileError(refusal->file, refusal->reason);
}

// A number from 1 to `most` given to `option`.
int CountedFromOne(const TCommandLine& line, std::string_view option, int most) {
  const std::optional<std::uint64_t> value = WholeNumber(line.Value(option));
  if (!value || *value < 1 || *value > static_cast<std::uint64_t>(most)) {
    throw TUsageError(std::string(option) + " takes a number from 1 to " + std::to_string(most));
  }
  return static_cast<int>(*value);
}

// The source --track or --channel names, else the one a new rhythm would give the part.
TMidiSource SourceOf(const TCommandLine& line, const std::string& midiPath,
                     const platform::TMidiFile& file, int part) {
  if (line.Has("--track")) {
    return {TMidiSource::TKind::kTrack, CountedFromOne(line, "--track", 0xFFFF) - 1};
  }
  if (line.Has("--channel")) {
    return {TMidiSource::TKind::kChannel, CountedFromOne(line, "--channel", 16) - 1};
  }
  if (const auto source = AssignPartSources(file).parts[static_cast<std::size_t>(part)]) {
    return *source;
  }
  std::string sources;
  for (const TMidiSourceInfo& info : ListMidiSources(file)) {
    sources += (sources.empty() ? "" : "; ") + DescribeMidiSource(info);
  }
  if (sources.empty()) throw TFileError(midiPath, "holds no notes");
  throw TFileError(midiPath, "no track is named " +
                                 std::string(kPartNames[static_cast<std::size_t>(part)]) +
                                 " and no channel falls to it: choose one with --track N or "
                                 "--channel C (" +
                                 sources + ")");
}

}  // namespace

int RunImportMidi(const TCommandLine& line, TConsole& console) {
  if (line.Has("--track") && line.Has("--channel")) {
    throw TUsageError("--track and --channel exclude each other");
  }
  const std::string& path = line.positional[0];
  const int section = SectionOf(path, line.positional[1]);
  const int part = PartOf(path, line.positional[2]);
  const std::string& midiPath = line.positional[3];
  const std::string out = line.Value("-o");
  CheckSaveTarget(out);
  TRhythmDocuments docs = OpenAsMainFile(path, console.err);
  const platform::TMidiFile file = ReadMidi(midiPath);
  const TPartImport request{section, part, SourceOf(line, midiPath, file, part),
                            line.Has("--sounds")};
  const TMidiImportOutcome outcome = ImportMidiPart(docs.slots[kMainSlot], midiPath, file, request);
  Refused(outcome.refusal);
  for (const std::string& notice : outcome.notices)
    console.err << midiPath << ": " << notice << '\n';
  WriteRhythm(docs, path, out, console.out);
  return kExitOk;
}

int RunFromMidi(const TCommandLine& line, TConsole& console) {
  const std::string out = line.Value("-o");
  CheckSaveTarget(out);
  // Every file that cannot be read is named, one line each, not the first only.
  const TMidiFilesRead read = ReadMidiFiles(line.positional);
  if (!read.refusals.empty()) {
    console.err << MidiRefusalsText(read.refusals, "\n") << '\n';
    return kExitFileProblem;
  }
  const std::vector<TNamedMidiFile>& files = read.files;
  TMidiRhythm made = RhythmFromMidi(files);
  Refused(made.outcome.refusal);
  for (const std::string& notice : made.outcome.notices) console.err << notice << '\n';
  TRhythmDocuments docs;
  CommitLoadedRhythm(docs, kMainSlot, std::move(*made.rhythm));
  WriteRhythm(docs, files.front().path, out, console.out);
  return kExitOk;
}

}  // namespace brondel::tool
