#include "tests/support/stream_events.h"

#include <gtest/gtest.h>

#include <iomanip>

namespace brondel::test {

namespace {

std::uint32_t ReadU32LE(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

}  // namespace

StreamEvent Ev(std::uint32_t delta, std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
  return {delta, 0, status, data1, data2, 0};
}

std::vector<StreamEvent> Decode(const TEventBuffer& buffer) {
  EXPECT_EQ(buffer.size() % kStreamEventSize, 0u) << "a stream-event buffer holds whole records";
  std::vector<StreamEvent> events;
  for (std::size_t at = 0; at + kStreamEventSize <= buffer.size(); at += kStreamEventSize) {
    const std::uint8_t* record = &buffer[at];
    events.push_back(
        {ReadU32LE(record), ReadU32LE(record + 4), record[8], record[9], record[10], record[11]});
  }
  return events;
}

void PrintTo(const StreamEvent& event, std::ostream* out) {
  *out << "+" << event.delta << " ticks 0x" << std::hex << std::uppercase << std::setw(2)
       << std::setfill('0') << int{event.status} << std::dec << " " << int{event.data1} << " "
       << int{event.data2};
  if (event.streamId != 0) *out << " stream " << event.streamId;
  if (event.kind != 0) *out << " kind " << int{event.kind};
}

}  // namespace brondel::test
