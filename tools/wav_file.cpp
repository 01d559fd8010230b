#include "tools/wav_file.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "tools/command_line.h"

namespace brondel::tool {

namespace {

// A file in memory for libsndfile's virtual I/O.
struct TMemoryFile {
  std::vector<std::uint8_t> bytes;
  sf_count_t position = 0;
};

TMemoryFile& Memory(void* user) {
  return *static_cast<TMemoryFile*>(user);
}

sf_count_t Length(void* user) {
  return static_cast<sf_count_t>(Memory(user).bytes.size());
}

sf_count_t Seek(sf_count_t offset, int whence, void* user) {
  TMemoryFile& file = Memory(user);
  const sf_count_t base = whence == SEEK_SET   ? 0
                          : whence == SEEK_CUR ? file.position
                                               : static_cast<sf_count_t>(file.bytes.size());
  file.position = std::max<sf_count_t>(0, base + offset);
  return file.position;
}

sf_count_t Read(void* destination, sf_count_t count, void* user) {
  TMemoryFile& file = Memory(user);
  const auto available =
      std::max<sf_count_t>(0, static_cast<sf_count_t>(file.bytes.size()) - file.position);
  const sf_count_t read = std::min(count, available);
  std::memcpy(destination, file.bytes.data() + file.position, static_cast<std::size_t>(read));
  file.position += read;
  return read;
}

sf_count_t Write(const void* source, sf_count_t count, void* user) {
  TMemoryFile& file = Memory(user);
  const auto end = static_cast<std::size_t>(file.position + count);
  if (end > file.bytes.size()) file.bytes.resize(end);
  std::memcpy(file.bytes.data() + file.position, source, static_cast<std::size_t>(count));
  file.position += count;
  return count;
}

sf_count_t Tell(void* user) {
  return Memory(user).position;
}

}  // namespace

std::vector<std::uint8_t> BuildWavFile(const std::string& out,
                                       const std::vector<float>& stereoSamples, int sampleRate) {
  SF_VIRTUAL_IO io{Length, Seek, Read, Write, Tell};
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  TMemoryFile memory;
  std::unique_ptr<SNDFILE, decltype(&sf_close)> file(
      sf_open_virtual(&io, SFM_WRITE, &info, &memory), sf_close);
  if (!file) throw TFileError(out, std::string("cannot make a WAV file: ") + sf_strerror(nullptr));
  sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
  const auto frames = static_cast<sf_count_t>(stereoSamples.size() / 2);
  if (sf_writef_float(file.get(), stereoSamples.data(), frames) != frames) {
    throw TFileError(out, std::string("cannot write the WAV data: ") + sf_strerror(file.get()));
  }
  file.reset();  // closing writes the final header lengths
  return std::move(memory.bytes);
}

}  // namespace brondel::tool
