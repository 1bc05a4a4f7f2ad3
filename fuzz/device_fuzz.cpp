// velkor-device's protocol reader on arbitrary byte streams. The stream is read twice: byte by byte
// by one reader, and in pieces whose lengths the input chooses, where each piece is read by a copy
// of the reader that read the previous pieces (the way a reader is handed from one read() to the
// next). Both ways must report the same events and counts, and the counts and register images must
// agree with the events themselves.
//
// Input: byte 0 = how many piece lengths follow (0-15), then that many lengths (0-255 each, used in
// turn and over again; a zero length ends the cycle), then the stream.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tools/device/device_protocol.h"

namespace {

using device::Event;
using device::EventKind;
using device::MessageCounts;
using device::ProtocolReader;
using device::RegisterImage;

constexpr size_t kMaxPieceLengths = 15;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "device_fuzz: %s\n", what);
    std::abort();
}

void check(bool holds, const char* what) {
    if (!holds) fail(what);
}

struct Input {
    std::vector<uint8_t> pieceLengths;
    const uint8_t* stream = nullptr;
    size_t streamSize = 0;
};

Input splitInput(const uint8_t* data, size_t size) {
    Input input;
    if (size == 0) return input;
    const size_t lengths = data[0] % (kMaxPieceLengths + 1);
    size_t at = 1;
    for (size_t i = 0; i < lengths && at < size; ++i) input.pieceLengths.push_back(data[at++]);
    input.stream = data + at;
    input.streamSize = size - at;
    return input;
}

void feedRange(ProtocolReader& reader, const uint8_t* bytes, size_t count, std::vector<Event>& events) {
    for (size_t i = 0; i < count; ++i) {
        if (auto event = reader.feed(bytes[i])) events.push_back(*event);
    }
}

// Piece lengths in turn; a zero length or the end of the list starts the list again, and a list
// without any non-zero length reads the rest in one piece.
size_t nextPiece(const std::vector<uint8_t>& lengths, size_t& turn, size_t left) {
    for (size_t tries = 0; tries < lengths.size(); ++tries) {
        const size_t length = lengths[turn];
        turn = (turn + 1) % lengths.size();
        if (length != 0) return length < left ? length : left;
    }
    return left;
}

ProtocolReader readInPieces(const Input& input, std::vector<Event>& events) {
    ProtocolReader reader;
    size_t turn = 0;
    for (size_t at = 0; at < input.streamSize;) {
        const size_t piece = nextPiece(input.pieceLengths, turn, input.streamSize - at);
        ProtocolReader next = reader;  // the state must live entirely in the object
        feedRange(next, input.stream + at, piece, events);
        reader = next;
        at += piece;
    }
    return reader;
}

bool sameCounts(const MessageCounts& a, const MessageCounts& b) {
    return a.writesA0 == b.writesA0 && a.writesA1 == b.writesA1 && a.resets == b.resets && a.errors == b.errors;
}

// What the events alone say the reader must hold: a tally per kind, and the images rebuilt from the
// writes since the last reset.
void checkAgainstEvents(const ProtocolReader& reader, const std::vector<Event>& events) {
    MessageCounts tally;
    RegisterImage a0{}, a1{};
    for (const Event& e : events) {
        switch (e.kind) {
            case EventKind::WriteA0: ++tally.writesA0; a0[e.reg] = e.value; break;
            case EventKind::WriteA1: ++tally.writesA1; a1[e.reg] = e.value; break;
            case EventKind::Reset: ++tally.resets; a0.fill(0); a1.fill(0); break;
            case EventKind::Error:
                ++tally.errors;
                check(e.value != device::kResetRequest && e.value != device::kWriteA0 && e.value != device::kWriteA1,
                      "an error event names a byte that starts a message");
                break;
            default: fail("an event of no known kind");
        }
    }
    check(sameCounts(reader.counts(), tally), "the counts disagree with the events");
    check(reader.imageA0() == a0, "the A0 image disagrees with the events");
    check(reader.imageA1() == a1, "the A1 image disagrees with the events");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Input input = splitInput(data, size);

    ProtocolReader whole;
    std::vector<Event> wholeEvents;
    feedRange(whole, input.stream, input.streamSize, wholeEvents);

    std::vector<Event> pieceEvents;
    const ProtocolReader pieces = readInPieces(input, pieceEvents);

    check(wholeEvents == pieceEvents, "the events depend on how the stream was split");
    check(sameCounts(whole.counts(), pieces.counts()), "the counts depend on how the stream was split");
    check(whole.imageA0() == pieces.imageA0() && whole.imageA1() == pieces.imageA1(),
          "the register images depend on how the stream was split");
    checkAgainstEvents(whole, wholeEvents);
    // Every byte is accounted for: at most one event per byte.
    check(wholeEvents.size() <= input.streamSize, "more events than bytes");
    return 0;
}
