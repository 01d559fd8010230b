// render, preview and resave: the bytes the window queues or saves, written as they are.
#include "tools/commands.h"
#include "tools/queue_capture.h"
#include "tools/rhythm_input.h"

namespace brondel::tool {

int RunRender(const TCommandLine& line, TConsole& console) {
  const std::string& path = line.positional[0];
  const int section = SectionOf(path, line.positional[1]);
  TRhythmDocuments docs = OpenAsMainFile(path, console.err);
  WriteOutput(line.Value("-o"), SectionBuffer(path, docs, section), console.out);
  return kExitOk;
}

int RunPreview(const TCommandLine& line, TConsole& console) {
  const std::string& path = line.positional[0];
  const int section = SectionOf(path, line.positional[1]);
  const int part = PartOf(path, line.positional[2]);
  TRhythmDocuments docs = OpenAsMainFile(path, console.err);
  WriteOutput(line.Value("-o"), PartBuffer(path, docs, section, part), console.out);
  return kExitOk;
}

int RunResave(const TCommandLine& line, TConsole& console) {
  const std::string& path = line.positional[0];
  const std::string out = line.Value("-o");
  CheckSaveTarget(out);
  TRhythmDocuments docs = OpenAsMainFile(path, console.err);
  WriteRhythm(docs, path, out, console.out);
  return kExitOk;
}

}  // namespace brondel::tool
