// Helpers for tests that build units bit by bit and scan streams.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bitstream/bit_reader.h"
#include "bitstream/start_codes.h"
#include "support/bit_writer.h"

namespace avs::test {

inline BitWriter StartCode(uint8_t value) {
    return BitWriter().Bytes({0, 0, 1, value});
}

// A sequence header unit of the given size (bbv_buffer_size 200).
inline std::vector<uint8_t> SequenceUnit(uint32_t width, uint32_t height) {
    BitWriter w = StartCode(kSequenceHeaderCode);
    w.Bits(0x20, 8).Bits(0x40, 8).Bit(1).Bits(width, 14).Bits(height, 14).Bits(0x1A3, 13);
    return w.Bits(1000, 18).Bits(1, 1).Bits(0, 12).Bits(1, 2).Bits(200, 18).Stuffing().Data();
}

// A unit's bytes followed by the zero padding every parser may read.
struct PaddedUnit {
    std::vector<uint8_t> bytes;
    uint32_t length;

    explicit PaddedUnit(const std::vector<uint8_t>& unit)
        : bytes(unit), length(static_cast<uint32_t>(unit.size())) {
        bytes.resize(unit.size() + kUnitPadding, 0);
    }
    BitReader Reader() const { return BitReader(bytes.data(), length); }
};

struct ParseCall {
    int32_t r;
    uint32_t taken;
    uint32_t status;
    std::string text;
};

// Offers a stream to Parse as a host and the feed loop do: each call offers
// bytes from the first one not taken yet, and Parse runs again on the rest of
// the piece after a complete or rejected unit. Complete units are recorded and
// dropped, as the decode driver drops every unit it is handed.
class ScanHost {
  public:
    explicit ScanHost(std::vector<uint8_t> stream) : stream_(std::move(stream)) { input_.Reset(); }

    // One call offering `length` bytes (fewer at the stream's end); returns the bytes taken.
    size_t Call(size_t length) {
        const size_t start = pos_;
        auto remaining = static_cast<uint32_t>(std::min(length, stream_.size() - pos_));
        do {
            uint32_t taken = 0;
            const int32_t r =
                Parse(input_, stream_.data() + pos_, remaining, &taken, status_, sequence_);
            calls.push_back({r, taken, status_.word, status_.text});
            remaining -= taken;
            pos_ += taken;
            if (r == 0) break;
            if (r == 1) {
                units.emplace_back(input_.Unit(), input_.Unit() + input_.count);
                input_.count = 0;
            }
        } while (remaining > 0);
        return pos_ - start;
    }

    bool AtEnd() const { return pos_ == stream_.size(); }
    uint32_t HeldCount() const { return input_.count; }
    const SequenceHeader& Sequence() const { return sequence_; }

    std::vector<std::vector<uint8_t>> units;
    std::vector<ParseCall> calls;

  private:
    std::vector<uint8_t> stream_;
    HeldInput input_;
    StreamStatus status_;
    SequenceHeader sequence_{};
    size_t pos_ = 0;
};

// The units of a whole stream as the input scan splits it.
inline std::vector<std::vector<uint8_t>> SplitIntoUnits(const std::vector<uint8_t>& stream) {
    ScanHost host(stream);
    host.Call(stream.size());
    return host.units;
}

}  // namespace avs::test
