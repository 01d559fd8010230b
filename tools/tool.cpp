#include "tools/tool.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <limits>
#include <string_view>

#include "tools/commands.h"

namespace brondel::tool {

namespace {

constexpr std::size_t kAnyNumber = std::numeric_limits<std::size_t>::max();

struct TCommand {
  std::string_view name;
  std::string_view usage;    // the command's words after "brondel-tool"
  std::string_view summary;  // one line in the tool's help
  std::string_view details;  // the rest of the command's help
  std::vector<TOptionSpec> options;
  std::size_t minPositional;
  std::size_t maxPositional;
  int (*run)(const TCommandLine&, TConsole&);
};

const TOptionSpec kOutput{"-o", "OUT", true};

const std::vector<TCommand>& Commands() {
  static const std::vector<TCommand> commands = {
      {"info",
       "info FILE... [--json]",
       "layout, tempo, time signature, sections and parts of rhythm files",
       "For each file: its layout, tempo and time signature; per section its bar count and event\n"
       "count; per part its size in bytes, its record and note counts and its six settings\n"
       "(Tone, Bank, Volume, Pane, Reverb, Chorus). --json prints one JSON object per file,\n"
       "one per line.\n",
       {{"--json", "", false}},
       1,
       kAnyNumber,
       RunInfo},
      {"check",
       "check PATH...",
       "report every problem of rhythm files and folders of them",
       "Reads every .ckf and .z00 file given, or found below a folder given, as the window\n"
       "opens it, and prints each problem on its own line as PATH: problem (cannot be read, too\n"
       "short, wrong type byte, a part running past the end, a filler that is no wait record,\n"
       "a section whose parts hold more data than a file can address, tempo outside 11 to 249,\n"
       "a setting of 128 or more; a folder that cannot be read, a folder without any rhythm\n"
       "file). Exit\n"
       "status 0 when every file is sound, 1 when there is any problem.\n",
       {},
       1,
       kAnyNumber,
       RunCheck},
      {"render",
       "render FILE SECTION -o OUT",
       "the stream-event buffer a section double-click plays",
       "Writes the exact buffer of 12-byte stream events (delta ticks, stream id 0, message)\n"
       "that double-clicking SECTION queues when FILE is the only file open. SECTION is a\n"
       "name (Var1) or an index 0 to 9.\n",
       {kOutput},
       2,
       2,
       RunRender},
      {"preview",
       "preview FILE SECTION PART -o OUT",
       "the stream-event buffer a part double-click plays",
       "Writes the exact buffer that double-clicking PART (Drums ... Chord3, or 0 to 4) of\n"
       "SECTION plays. A part that holds only its end record plays nothing in the window\n"
       "(\"This part is empty!\"); the tool then refuses it the same way.\n",
       {kOutput},
       3,
       3,
       RunPreview},
      {"resave",
       "resave FILE -o OUT",
       "what \"Save as\" writes right after opening FILE",
       "Writes exactly the file that File > \"Save as\" writes right after FILE has been opened\n"
       "as the main file and nothing else: always the .ckf layout, so OUT may not end in\n"
       "\".z00\" (such a file opens in the .z00 layout).\n",
       {kOutput},
       1,
       1,
       RunResave},
      {"export-midi",
       "export-midi FILE -o OUT.mid [--section SECTION | --play-all]",
       "Standard MIDI Files that sound as the program plays",
       "Writes a Standard MIDI File of format 1: a conductor track (the rhythm's tempo and time\n"
       "signature) and one track per part, named after it, with the set-up messages and notes\n"
       "the program plays, on their channels and ticks. A tick of the file is a tick of the\n"
       "rhythm: the division is the rhythm's ticks per quarter note Q (96 for most rhythms)\n"
       "and the tempo 500,000 x Q / T microseconds a quarter note (T the tempo byte), so a\n"
       "sequencer shows the rhythm's tempo and bars. Messages with a data byte above 127 (the\n"
       "end records) are left out; their time is kept. --section writes one section,\n"
       "--play-all the eleven entries of \"Play all\" one after the other; without either,\n"
       "one file per section: OUT.mid becomes OUT-Intro1.mid ... OUT-End2.mid.\n",
       {kOutput, {"--section", "SECTION", false}, {"--play-all", "", false}},
       1,
       1,
       RunExportMidi},
      {"import-midi",
       "import-midi RHYTHM SECTION PART MIDI [--track N | --channel C] [--sounds] -o OUT",
       "replace a part of a rhythm by a track or channel of a MIDI file",
       "Writes RHYTHM as \"Save as\" would after File > \"Import MIDI part...\": PART of\n"
       "SECTION replaced by the notes of a track (--track N, tracks counted from 1 in file\n"
       "order) or a channel (--channel C, 1 to 16) of the Standard MIDI File MIDI; without\n"
       "either, by the track named after the part, else by the channel from-midi gives it.\n"
       "Ticks are mapped onto the rhythm's ticks per quarter note and the part runs as long\n"
       "as its section: notes from the section's end on are left out, a note still sounding\n"
       "there ends there, a note whose key starts again before it ends is closed first; each\n"
       "is reported on standard error. --sounds takes Tone, Bank, Volume, Pane, Reverb and\n"
       "Chorus from the source's first program change and controllers 0, 7, 10, 91, 93.\n",
       {kOutput, {"--track", "N", false}, {"--channel", "C", false}, {"--sounds", "", false}},
       4,
       4,
       RunImportMidi},
      {"from-midi",
       "from-midi MIDI... -o OUT.ckf",
       "a new rhythm from MIDI files",
       "Writes a new rhythm made from Standard MIDI Files, as File > \"New rhythm from\n"
       "MIDI...\" and \"Save as\" would. Its sections come from one file per section, named\n"
       "as export-midi names them (NAME-Var1.mid, any letter case), or from one file whose\n"
       "marker events name the sections where they start. Its parts come from the tracks named\n"
       "Drums, Bass, Chord1, Chord2 and Chord3, else from channel 10 (Drums) and the other\n"
       "channels in the order of their first notes; their sounds from each source's first\n"
       "program change and controllers. Tempo and time signature come from the files, bars\n"
       "from the sections' lengths; sections no file holds get one empty bar. A file's\n"
       "division is kept when its tempo fits a rhythm, else ticks are mapped to 96 a quarter\n"
       "note. What was left out is reported on standard error.\n",
       {kOutput},
       1,
       kAnyNumber,
       RunFromMidi},
      {"wav",
       "wav FILE SECTION -o OUT.wav [--max-minutes N]",
       "a section rendered offline to a WAV file",
       "Renders SECTION with the built-in synthesizer's soundfont (the file BRONDEL_SOUNDFONT\n"
       "names, else the system's General MIDI soundfont), each message at its own sample,\n"
       "faster than real time, as a 44.1 kHz 16-bit stereo WAV file as long as the section,\n"
       "written as it is rendered. A section longer than N minutes of audio (default 60) is\n"
       "refused. On a terminal a long render shows how far it has come.\n",
       {kOutput, {"--max-minutes", "N", false}},
       2,
       2,
       RunWav},
      {"arrange",
       "arrange RHYTHM --chords CHART|--chords-file FILE [OPTIONS] -o SONG.mid|SONG.wav",
       "a whole song: the rhythm under a chord chart",
       "Plays RHYTHM as a keyboard does under the chords of a chart (--chords \"C | Am | F |\n"
       "G7\", or the text of FILE): --intro 1|2 first (under the chart's first chord), then\n"
       "the variation (--variation 1|2, default 1) looped bar by bar under the chart, a fill\n"
       "in every N-th bar with --fill-every N (Fill1 on Var1, Fill3 on Var2), the chart\n"
       "--repeat N times, then --ending 1|2 (under the last chord). The bass and chord parts\n"
       "follow the chords, the drums play as recorded.\n"
       "The chart: bars separated by '|', the chords of a bar sharing it evenly ('C . . G7'\n"
       "by beats), '%' repeats the bar before, 'N.C.' silences bass and chords, and [Var1],\n"
       "[Var2], [Fill], [Fill1] ... [Fill4], [Intro1], [Intro2], [End1], [End2] opening a bar\n"
       "switch sections there. docs/CHORDS.md gives the rules. A .wav output is rendered with\n"
       "the built-in synthesizer as wav does (--max-minutes N, default 60); anything else is\n"
       "a Standard MIDI File like export-midi's with a marker at each section's start and a\n"
       "text event with each chord's name where it starts.\n",
       {kOutput,
        {"--chords", "CHART", false},
        {"--chords-file", "FILE", false},
        {"--intro", "1|2", false},
        {"--variation", "1|2", false},
        {"--fill-every", "N", false},
        {"--ending", "1|2", false},
        {"--repeat", "N", false},
        {"--max-minutes", "N", false}},
       1,
       1,
       RunArrange},
      {"draw",
       "draw FILE SECTION -o OUT.png|OUT.svg [--width N] [--format png|svg]",
       "the pattern window's picture of a section",
       "Draws SECTION as the pattern window shows it, with the same drawing code: a lane per\n"
       "part (drum rows named by their General MIDI names, the other parts' rows by note\n"
       "names, middle C = C4), one bar per note shaded by its velocity, bar and beat lines and\n"
       "bar numbers, the whole section fitted into N pixels of width (default 1200, 400 to\n"
       "16384); the height follows from the rows. OUT's extension (.png or .svg) chooses the\n"
       "format, or --format does (needed with -o -).\n",
       {kOutput, {"--width", "N", false}, {"--format", "FORMAT", false}},
       2,
       2,
       RunDraw},
      {"notes",
       "notes FILE [SECTION [PART]] [--json]",
       "the notes a section plays, one a line",
       "Prints the notes that SECTION plays (every section when none is given) in PART (every\n"
       "part when none is given), as the pattern window shows them, one a line, tab-separated\n"
       "under the header: section part position tick key name velocity length. position is\n"
       "bar:beat:tick as the window's tool tip shows it, tick counts from the section's start,\n"
       "name is the note name (middle C = C4) or the drum's General MIDI name, length is in\n"
       "ticks. --json prints one JSON object per note with the same fields, one per line.\n",
       {{"--json", "", false}},
       1,
       3,
       RunNotes},
      {"set-notes",
       "set-notes FILE SECTION PART NOTES -o OUT",
       "write a part from the text notes prints",
       "Writes FILE as \"Save as\" would with PART of SECTION playing exactly the notes of the\n"
       "tab-separated text NOTES: a header line naming the columns, then a note a line. The\n"
       "columns tick, key (0 to 127), velocity (1 to 127) and length (1 or more) are needed,\n"
       "any others are ignored, so the output of notes can be edited and given back. A bad\n"
       "value is named by its line and column; a note past the section's end, a note that\n"
       "starts while another of its key still sounds, or a part that would make the section or\n"
       "the file larger than it may be is refused. The other parts sound as before.\n",
       {kOutput},
       4,
       4,
       RunSetNotes},
      {"devices",
       "devices",
       "list the MIDI output and input devices",
       "Lists the output devices the window offers, numbered as play --device takes them\n"
       "(\"N: NAME\"), then the input devices a keyboard can play into (\"in  N  NAME\").\n",
       {},
       0,
       0,
       RunDevices},
      {"play",
       "play FILE SECTION [--device N]",
       "play a section on a MIDI output device",
       "Plays SECTION of FILE on device N (default 0, the first one `devices` lists) in time,\n"
       "until its end or Ctrl-C, which stops it and ends every note.\n",
       {{"--device", "N", false}},
       2,
       2,
       RunPlay},
  };
  return commands;
}

void PrintToolHelp(std::ostream& out) {
  out << "Usage: brondel-tool COMMAND [ARGUMENTS]\n\n"
         "The command-line companion of Brondel for Casio keyboard rhythm files (.ckf, .z00).\n\n"
         "Commands:\n";
  for (const TCommand& command : Commands()) {
    out << "  " << command.name << std::string(13 - command.name.size(), ' ') << command.summary
        << '\n';
  }
  out << "\nRun 'brondel-tool COMMAND --help' for a command's usage, 'brondel-tool --version'\n"
         "for the version. -o - writes a command's one output file to the standard output.\n"
         "Exit status: 0 done, 1 a file could not be used (or check found problems), 2 a usage\n"
         "error.\n";
}

void PrintCommandHelp(const TCommand& command, std::ostream& out) {
  out << "Usage: brondel-tool " << command.usage << "\n\n" << command.details;
}

const TCommand& FindCommand(const std::string& name) {
  const auto& commands = Commands();
  const auto found = std::find_if(commands.begin(), commands.end(),
                                  [&](const TCommand& command) { return command.name == name; });
  if (found == commands.end()) throw TUsageError("unknown command '" + name + "'");
  return *found;
}

void CheckPositionalCount(const TCommand& command, const TCommandLine& line) {
  const std::size_t count = line.positional.size();
  if (count < command.minPositional) throw TUsageError("missing arguments");
  if (count > command.maxPositional) {
    throw TUsageError("unexpected argument '" + line.positional[command.maxPositional] + "'");
  }
}

int RunCommand(const TCommand& command, const std::vector<std::string>& words, TConsole& console) {
  try {
    const TCommandLine line = ParseCommandLine(words, command.options);
    if (line.Has("--help")) {
      PrintCommandHelp(command, console.out);
      return kExitOk;
    }
    CheckPositionalCount(command, line);
    CheckRequiredOptions(line, command.options);
    return command.run(line, console);
  } catch (const TUsageError& error) {
    console.err << "brondel-tool " << command.name << ": " << error.what()
                << "\nUsage: brondel-tool " << command.usage << '\n';
    return kExitUsage;
  }
}

}  // namespace

std::vector<std::string_view> CommandUsages() {
  std::vector<std::string_view> usages;
  for (const TCommand& command : Commands()) usages.push_back(command.usage);
  return usages;
}

int RunTool(const std::vector<std::string>& words, TConsole& console) {
  if (words.size() == 1 && words[0] == "--version") {
    console.out << "brondel-tool " << BRONDEL_VERSION << '\n';
    return kExitOk;
  }
  if (words.empty() || words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
    PrintToolHelp(words.empty() ? console.err : console.out);
    return words.empty() ? kExitUsage : kExitOk;
  }
  try {
    const TCommand& command = FindCommand(words[0]);
    return RunCommand(command, {words.begin() + 1, words.end()}, console);
  } catch (const TUsageError& error) {
    console.err << "brondel-tool: " << error.what()
                << "\nRun 'brondel-tool --help' for the commands.\n";
    return kExitUsage;
  } catch (const TFileError& error) {
    console.err << error.Path() << ": " << error.what() << '\n';
    return kExitFileProblem;
  } catch (const std::exception& error) {
    // Whatever else goes wrong (memory, say) ends the command, not the tool.
    console.err << "brondel-tool " << words[0] << ": " << error.what() << '\n';
    return kExitFileProblem;
  }
}

}  // namespace brondel::tool
