// What every command of the tool starts from: a rhythm file read exactly as the window opens it,
// sections and parts named on the command line, and outputs written whole or not at all, a
// rhythm as "Save as" writes it.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "document/rhythm_loader.h"
#include "document/rhythm_slot.h"
#include "platform/file_io.h"

namespace brondel::tool {

/// A rhythm file read as the window reads it, or the one-line reason it cannot be opened.
struct TOpenedRhythm {
  std::optional<TLoadedRhythm> rhythm;  // when the window would load the file
  std::string problem;                  // when it would not
};

/// Reads the file at `path` with the window's loader. A refused file gets a reason that names
/// what is wrong: cannot be read, too short, the wrong type byte, or the loader's damage text.
TOpenedRhythm OpenRhythm(const std::string& path);

/// The documents after opening `path` as the main file and nothing else; throws TFileError
/// with the reason when the window would refuse the file. The window's "Error in file" boxes
/// become lines on `warnings`.
TRhythmDocuments OpenAsMainFile(const std::string& path, std::ostream& warnings);

/// The lines the window's "Error in file" boxes stand for: one per part whose filler is no wait.
std::vector<std::string> BadFillerProblems(const TLoadedRhythm& rhythm);

/// A section given as its name (Var1, any letter case) or its index 0 to 9; an unknown section
/// throws TFileError naming `path`.
int SectionOf(const std::string& path, const std::string& text);
/// A part given as its name (Bass, any letter case) or its index 0 to 4; an unknown part throws
/// TFileError naming `path`.
int PartOf(const std::string& path, const std::string& text);

/// The output name "-": the standard output.
inline constexpr const char* kStandardOutputName = "-";

/// Writes a whole output file through a temporary file, so that a failure leaves nothing
/// half written, or the bytes to `standardOutput` for "-"; throws TFileError naming `path` on
/// failure.
void WriteOutput(const std::string& path, const std::vector<std::uint8_t>& bytes,
                 std::ostream& standardOutput);

/// Writes several output files all or none; throws TFileError naming the one that failed.
void WriteOutputs(const std::vector<platform::TFileToWrite>& files);

/// Throws TFileError naming `out` when "Save as" would refuse it as the target of a rhythm.
void CheckSaveTarget(const std::string& out);

/// Writes the main file of `docs` to `out` as "Save as" writes it; throws TFileError naming
/// `path`, where the rhythm came from, when it is too large to save, or naming `out` when
/// writing fails.
void WriteRhythm(TRhythmDocuments& docs, const std::string& path, const std::string& out,
                 std::ostream& standardOutput);

}  // namespace brondel::tool
