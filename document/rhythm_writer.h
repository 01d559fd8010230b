// Lays out a main file as the bytes of a .ckf file: the 64-byte block, the header with its
// rebuilt offsets, total length and end mark, then the part streams in section-then-part order.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "document/rhythm_slot.h"

namespace brondel {

/// True when 540 + the part data passes what the 16-bit offsets and total length can hold.
bool TooLargeToSave(const TPartStreams& streams);

/// Rebuilds the fields the writer owns in `header` (data offsets, total length, end mark) and
/// in `prefix` (bytes 18-19, the total length big-endian); both stay changed, as they are the
/// document's. Returns the whole file: prefix, header, streams. The written byte 23 is always
/// the .ckf type byte, so that the file opens again even when the prefix came from a .z00
/// header. Callers refuse documents for which TooLargeToSave is true before calling this.
std::vector<std::uint8_t> BuildCkfFile(TRhythmHeader& header, const TPartStreams& streams,
                                       std::array<std::uint8_t, kPrefixSize>& prefix);

}  // namespace brondel
