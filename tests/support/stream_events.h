// A readable form of stream-event buffers for tests: each 12-byte record decoded into its
// delta, stream id and message, so that a failing comparison names the record and its fields.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "render/render.h"

namespace brondel::test {

/// One decoded 12-byte record; together the fields cover every byte of it.
struct StreamEvent {
  std::uint32_t delta = 0;
  std::uint32_t streamId = 0;
  std::uint8_t status = 0;
  std::uint8_t data1 = 0;
  std::uint8_t data2 = 0;
  std::uint8_t kind = 0;  // high byte of dwEvent: 0 for a short message
  friend bool operator==(const StreamEvent&, const StreamEvent&) = default;
};

/// A short message with stream id 0, the only kind the renderers write.
StreamEvent Ev(std::uint32_t delta, std::uint8_t status, std::uint8_t data1, std::uint8_t data2);

/// Decodes a buffer record by record; a size that is not a multiple of 12 fails the test.
std::vector<StreamEvent> Decode(const TEventBuffer& buffer);

/// "+3 ticks 0x99 36 100" (stream id and kind are printed only when not 0).
void PrintTo(const StreamEvent& event, std::ostream* out);

}  // namespace brondel::test
