#include "platform/midi/engine/stream_events.h"

#include <algorithm>
#include <limits>

#include "platform/midi_messages.h"

namespace brondel::platform {
namespace {

constexpr std::uint64_t kMicrosPerQuarter = 500'000;

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

}  // namespace

std::optional<MidiMessage> DecodeShortMessage(std::uint32_t event) {
  const auto status = static_cast<std::uint8_t>(event & 0xFF);
  if (event >> 24 != 0 || !midi::IsChannelStatus(status)) return std::nullopt;
  MidiMessage message{{status, static_cast<std::uint8_t>(event >> 8 & 0xFF),
                       static_cast<std::uint8_t>(event >> 16 & 0xFF)},
                      static_cast<std::uint8_t>(1 + midi::DataByteCount(status))};
  // A data byte with its top bit set would be read on the wire as a status byte.
  for (std::size_t i = 1; i < message.size; ++i) {
    if (!midi::IsDataByte(message.bytes[i])) return std::nullopt;
  }
  if (message.size < 3) message.bytes[2] = 0;
  return message;
}

std::optional<std::vector<StreamEvent>> DecodeStreamEvents(std::span<const std::uint8_t> bytes) {
  if (bytes.size() % kStreamEventSize != 0) return std::nullopt;
  std::vector<StreamEvent> events;
  events.reserve(bytes.size() / kStreamEventSize);
  std::uint64_t tick = 0;
  for (std::size_t at = 0; at < bytes.size(); at += kStreamEventSize) {
    tick += ReadU32(bytes, at);
    events.push_back({tick, DecodeShortMessage(ReadU32(bytes, at + 8))});
  }
  return events;
}

bool EndsANote(const MidiMessage& message) {
  return midi::EndsANote(message.bytes[0], message.bytes[2]);
}

MidiMicros TicksToMicros(std::uint64_t ticks, std::uint32_t division) {
  // Whole quarters first, so that long buffers cannot overflow before the division.
  const std::uint64_t quarters = ticks / division;
  const std::uint64_t rest = ticks % division;
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<MidiMicros::rep>::max());
  if (quarters > kMax / (2 * kMicrosPerQuarter)) return MidiMicros::max();
  const std::uint64_t micros =
      quarters * kMicrosPerQuarter + (rest * kMicrosPerQuarter + division / 2) / division;
  return MidiMicros(static_cast<MidiMicros::rep>(micros));
}

std::uint64_t MicrosToTicks(MidiMicros micros, std::uint32_t division) {
  // Whole quarters first, as above, so that hours of play cannot overflow.
  const auto count = static_cast<std::uint64_t>(std::max<MidiMicros::rep>(micros.count(), 0));
  const std::uint64_t quarters = count / kMicrosPerQuarter;
  const std::uint64_t rest = count % kMicrosPerQuarter;
  return quarters * division + rest * division / kMicrosPerQuarter;
}

}  // namespace brondel::platform
