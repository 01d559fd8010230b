#include "tools/rhythm_input.h"

#include <string_view>

#include "document/save_file.h"
#include "platform/file_io.h"
#include "tools/command_line.h"

namespace brondel::tool {

namespace {

// A .ckf file is refused for its type byte; say whether there is one at all.
std::string TypeByteProblem(const TRefusalDetails& details) {
  if (!details.typeByte) {
    return "too short: " + std::to_string(details.fileSize) +
           " bytes, a .ckf rhythm file has its type byte at offset 23";
  }
  return "wrong type byte " + std::to_string(*details.typeByte) +
         " at offset 23, a .ckf rhythm file has " + std::to_string(kCkfTypeByte);
}

// A name in any letter case, or an index below `count` written as one digit.
std::optional<int> ParseIndexOrName(const std::string& text, int count,
                                    std::optional<int> (*named)(std::string_view)) {
  if (text.size() == 1 && text[0] >= '0' && text[0] < static_cast<char>('0' + count)) {
    return text[0] - '0';
  }
  return named(text);
}

}  // namespace

TOpenedRhythm OpenRhythm(const std::string& path) {
  TLoadOutcome outcome = ReadRhythmFile(path);
  switch (outcome.status) {
    case TLoadStatus::kLoaded:
      return {std::move(outcome.rhythm), {}};
    case TLoadStatus::kCannotOpen:
      return {std::nullopt, "cannot open: " + outcome.details.systemReason};
    case TLoadStatus::kTooLarge:
      return {std::nullopt, "not a rhythm file: larger than " +
                                std::to_string(kMaxRhythmFileSize >> 20) + " MiB"};
    case TLoadStatus::kNotRhythm:
      return {std::nullopt, TypeByteProblem(outcome.details)};
    case TLoadStatus::kDamaged:
      break;
  }
  return {std::nullopt, outcome.message};
}

TRhythmDocuments OpenAsMainFile(const std::string& path, std::ostream& warnings) {
  TOpenedRhythm opened = OpenRhythm(path);
  if (!opened.rhythm) throw TFileError(path, opened.problem);
  for (const std::string& problem : BadFillerProblems(*opened.rhythm)) {
    warnings << path << ": " << problem << '\n';
  }
  TRhythmDocuments docs;
  CommitLoadedRhythm(docs, kMainSlot, std::move(*opened.rhythm));
  return docs;
}

std::vector<std::string> BadFillerProblems(const TLoadedRhythm& rhythm) {
  std::vector<std::string> problems;
  for (const std::string& part : rhythm.badFillers) {
    problems.push_back("Error in file: the filler of " + part + " is not a wait record");
  }
  return problems;
}

int SectionOf(const std::string& path, const std::string& text) {
  const std::optional<int> section = ParseIndexOrName(text, kSectionCount, SectionNamed);
  if (!section) {
    throw TFileError(path, "no section '" + text + "' (Intro1 ... End2, or 0 to 9)");
  }
  return *section;
}

int PartOf(const std::string& path, const std::string& text) {
  const std::optional<int> part = ParseIndexOrName(text, kPartCount, PartNamed);
  if (!part) throw TFileError(path, "no part '" + text + "' (Drums ... Chord3, or 0 to 4)");
  return *part;
}

void WriteOutput(const std::string& path, const std::vector<std::uint8_t>& bytes,
                 std::ostream& standardOutput) {
  if (path != kStandardOutputName) {
    WriteOutputs({{path, bytes}});
    return;
  }
  standardOutput.write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
  standardOutput.flush();
  if (!standardOutput) throw TFileError(path, "cannot write to the standard output");
}

void WriteOutputs(const std::vector<platform::TFileToWrite>& files) {
  const platform::TWriteResult result = platform::WriteFilesSafely(files);
  if (!result.error.empty()) throw TFileError(result.failedPath, "cannot write: " + result.error);
}

void CheckSaveTarget(const std::string& out) {
  if (const auto refusal = SaveTargetRefusal(out)) {
    throw TFileError(out, *refusal);
  }
}

void WriteRhythm(TRhythmDocuments& docs, const std::string& path, const std::string& out,
                 std::ostream& standardOutput) {
  const TSaveImage image = BuildSaveImage(docs);
  if (image.refusal) throw TFileError(path, *image.refusal);
  WriteOutput(out, image.bytes, standardOutput);
}

}  // namespace brondel::tool
