// The device's reading of velkor's byte stream: writes, reset requests and stray bytes, in any split.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tools/device/device_protocol.h"

namespace {

using device::Event;
using device::EventKind;
using device::ProtocolReader;
using Bytes = std::vector<uint8_t>;

std::vector<Event> feedAll(ProtocolReader& reader, const Bytes& bytes) {
    std::vector<Event> events;
    for (uint8_t b : bytes) {
        if (auto event = reader.feed(b)) events.push_back(*event);
    }
    return events;
}

Event a0(uint8_t reg, uint8_t value) { return {EventKind::WriteA0, reg, value}; }
Event a1(uint8_t reg, uint8_t value) { return {EventKind::WriteA1, reg, value}; }
Event reset() { return {EventKind::Reset}; }
Event error(uint8_t byte) { return {EventKind::Error, 0, byte}; }

struct StreamCase {
    const char* name;
    Bytes bytes;
    std::vector<Event> events;
};

class ProtocolStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(ProtocolStream, ReportsTheMessagesInOrder) {
    ProtocolReader reader;
    EXPECT_EQ(feedAll(reader, GetParam().bytes), GetParam().events);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProtocolStream,
    ::testing::Values(
        StreamCase{"WriteA0", {0x0D, 0x28, 0xF0}, {a0(0x28, 0xF0)}},
        StreamCase{"WriteA1", {0x0E, 0x29, 0x80}, {a1(0x29, 0x80)}},
        StreamCase{"Reset", {0x00}, {reset()}},
        // Inside a write, 00, 0D and 0E are plain register numbers and values.
        StreamCase{"MessageBytesAsData",
                   {0x0D, 0x00, 0x00, 0x0E, 0x0D, 0x0E, 0x0D, 0x0E, 0x00},
                   {a0(0, 0), a1(0x0D, 0x0E), a0(0x0E, 0x00)}},
        StreamCase{"StrayByteThenWrite", {0x7F, 0x0D, 0x01, 0x02}, {error(0x7F), a0(0x01, 0x02)}},
        // A run of stray bytes is one disturbance, reported once with its first byte.
        StreamCase{"StrayRunIsOneError", {0x7F, 0x80, 0xFF, 0x0E, 0x01, 0x02}, {error(0x7F), a1(0x01, 0x02)}},
        StreamCase{"ResetEndsAStrayRun",
                   {0x0D, 0x01, 0x02, 0x5A, 0x01, 0x00, 0x00},
                   {a0(1, 2), error(0x5A), reset(), reset()}},
        StreamCase{"SeparateRunsAreSeparateErrors", {0x10, 0x00, 0x10}, {error(0x10), reset(), error(0x10)}},
        StreamCase{"UnfinishedWriteReportsNothing", {0x0E, 0x01}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// Each message is reported by its last byte and not before, however the bytes are spread out.
TEST(DeviceProtocol, AMessageCompletesOnlyWithItsLastByte) {
    const Bytes stream = {0x00, 0x0D, 0x27, 0x30, 0x0E, 0xB4, 0xC0, 0x00};
    const std::vector<size_t> ends = {0, 3, 6, 7};
    ProtocolReader reader;
    std::vector<Event> events;
    for (size_t i = 0; i < stream.size(); ++i) {
        const auto event = reader.feed(stream[i]);
        const bool isEnd = std::find(ends.begin(), ends.end(), i) != ends.end();
        EXPECT_EQ(event.has_value(), isEnd) << "byte " << i;
        if (event) events.push_back(*event);
    }
    EXPECT_EQ(events, (std::vector<Event>{reset(), a0(0x27, 0x30), a1(0xB4, 0xC0), reset()}));
}

TEST(DeviceProtocol, ImagesFollowTheWritesAndResetClearsBoth) {
    ProtocolReader reader;
    feedAll(reader, {0x0D, 0x28, 0xF0, 0x0E, 0x28, 0x11, 0x0D, 0x28, 0x01, 0x0E, 0xFF, 0xFF});
    EXPECT_EQ(reader.imageA0()[0x28], 0x01);
    EXPECT_EQ(reader.imageA1()[0x28], 0x11);
    EXPECT_EQ(reader.imageA1()[0xFF], 0xFF);
    EXPECT_EQ(reader.imageA0()[0xFF], 0x00);

    feedAll(reader, {0x00});
    EXPECT_EQ(reader.imageA0(), device::RegisterImage{});
    EXPECT_EQ(reader.imageA1(), device::RegisterImage{});
}

TEST(DeviceProtocol, CountsEveryKindOfMessage) {
    ProtocolReader reader;
    feedAll(reader, {0x0D, 1, 2, 0x0D, 3, 4, 0x0E, 5, 6, 0x00, 0x99, 0x98, 0x00, 0x42, 0x0E, 7});
    const device::MessageCounts& counts = reader.counts();
    EXPECT_EQ(counts.writesA0, 2u);
    EXPECT_EQ(counts.writesA1, 1u);
    EXPECT_EQ(counts.resets, 2u);
    EXPECT_EQ(counts.errors, 2u);
}

}  // namespace
