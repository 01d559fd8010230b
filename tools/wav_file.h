// WAV files of rendered audio, written with libsndfile into memory so that the output file is
// written whole or not at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brondel::tool {

/// The bytes of the 16-bit PCM stereo WAV file `out` of interleaved samples in -1 to 1
/// (clipped). Throws TFileError naming `out` when libsndfile refuses.
std::vector<std::uint8_t> BuildWavFile(const std::string& out,
                                       const std::vector<float>& stereoSamples, int sampleRate);

}  // namespace brondel::tool
