// wav: a section as the built-in synthesizer sounds it, rendered offline to a WAV file.
#include "platform/offline_synth.h"
#include "tools/commands.h"
#include "tools/queue_capture.h"
#include "tools/rhythm_input.h"
#include "tools/wav_file.h"

namespace brondel::tool {

int RunWav(const TCommandLine& line, TConsole& console) {
  const std::string& path = line.positional[0];
  const int section = SectionOf(path, line.positional[1]);
  TRhythmDocuments docs = OpenAsMainFile(path, console.err);
  const TEventBuffer buffer = SectionBuffer(path, docs, section);
  // The window sets the stream's time division to the tempo byte before it plays.
  const platform::OfflineAudio audio =
      platform::RenderStreamOffline(buffer, docs.slots[kMainSlot].header.Tempo());
  if (!audio.error.empty()) throw TFileError(path, "cannot render: " + audio.error);
  const std::string out = line.Value("-o");
  WriteOutput(out, BuildWavFile(out, audio.samples, audio.sampleRate), console.out);
  return kExitOk;
}

}  // namespace brondel::tool
