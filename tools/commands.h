// The commands of brondel-tool, one function each. They get a parsed command line whose
// positional count and required options have been checked, and return the exit status; a file
// that cannot be used throws TFileError, a bad command line TUsageError.
#pragma once

#include <cstdint>
#include <string>

#include "render/render.h"
#include "tools/command_line.h"
#include "tools/tool.h"

namespace brondel::tool {

/// info FILE... [--json]: layout, tempo, time signature, sections and parts of each file.
int RunInfo(const TCommandLine& line, TConsole& console);
/// check PATH...: one line per problem of every rhythm file given or found below a folder.
int RunCheck(const TCommandLine& line, TConsole& console);
/// render FILE SECTION -o OUT: the stream-event buffer a section double-click queues.
int RunRender(const TCommandLine& line, TConsole& console);
/// preview FILE SECTION PART -o OUT: the stream-event buffer a part double-click queues.
int RunPreview(const TCommandLine& line, TConsole& console);
/// resave FILE -o OUT: what "Save as" writes right after opening FILE as the main file.
int RunResave(const TCommandLine& line, TConsole& console);
/// export-midi FILE -o OUT.mid [--section SECTION | --play-all]: Standard MIDI Files.
int RunExportMidi(const TCommandLine& line, TConsole& console);
/// import-midi RHYTHM SECTION PART MIDI [--track N | --channel C] [--sounds] -o OUT: a part
/// from a MIDI file.
int RunImportMidi(const TCommandLine& line, TConsole& console);
/// from-midi MIDI... -o OUT.ckf: a new rhythm from MIDI files.
int RunFromMidi(const TCommandLine& line, TConsole& console);
/// wav FILE SECTION -o OUT.wav: a section rendered offline with the built-in synthesizer.
int RunWav(const TCommandLine& line, TConsole& console);
/// The rendering behind wav: `buffer`, played at `division`, through the built-in synthesizer
/// to the WAV file -o names, refused when longer than --max-minutes allows (`what` names it in
/// the refusal, `path` the file it came from).
int WriteWav(const TCommandLine& line, TConsole& console, const std::string& path,
             const std::string& what, const TEventBuffer& buffer, std::uint32_t division);
/// arrange RHYTHM --chords CHART | --chords-file FILE [--intro 1|2] [--variation 1|2]
/// [--fill-every N] [--ending 1|2] [--repeat N] -o SONG.mid|SONG.wav: a whole song.
int RunArrange(const TCommandLine& line, TConsole& console);
/// draw FILE SECTION -o OUT.png|OUT.svg [--width N] [--format png|svg]: the pattern window's
/// picture of a section.
int RunDraw(const TCommandLine& line, TConsole& console);
/// notes FILE [SECTION [PART]] [--json]: the notes a section plays, one a line.
int RunNotes(const TCommandLine& line, TConsole& console);
/// set-notes FILE SECTION PART NOTES -o OUT: a part written from the text notes prints.
int RunSetNotes(const TCommandLine& line, TConsole& console);
/// devices: the MIDI output devices, numbered as --device takes them, then the input devices.
int RunDevices(const TCommandLine& line, TConsole& console);
/// play FILE SECTION [--device N]: plays a section in time until its end or Ctrl-C.
int RunPlay(const TCommandLine& line, TConsole& console);

}  // namespace brondel::tool
