// Helpers for tests that build units bit by bit and scan streams.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "api/decoder.h"
#include "bitstream/bit_reader.h"
#include "bitstream/start_codes.h"

namespace avs::test {

// Writes fields most significant bit first, as the bit reader reads them.
class BitWriter {
  public:
    BitWriter& Bits(uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i) {
            if (count_ % 8 == 0) bytes_.push_back(0);
            if ((value >> i) & 1u) bytes_.back() |= static_cast<uint8_t>(0x80u >> (count_ % 8));
            ++count_;
        }
        return *this;
    }
    BitWriter& Bit(uint32_t b) { return Bits(b, 1); }
    BitWriter& Se(int32_t v) {  // codeNum 2|v| - (v > 0), written as ue(v)
        const uint64_t k = (v > 0 ? 2u * v - 1u : 2u * static_cast<uint32_t>(-v)) + uint64_t{1};
        int z = 0;
        while ((k >> (z + 1)) != 0) ++z;
        return Bits(0, z).Bits(static_cast<uint32_t>(k), z + 1);
    }
    // A 1 and zeros up to the byte boundary: how a header ends before a start code.
    BitWriter& Stuffing() {
        Bit(1);
        while (count_ % 8 != 0) Bit(0);
        return *this;
    }
    BitWriter& Bytes(std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) Bits(b, 8);
        return *this;
    }
    const std::vector<uint8_t>& Data() const { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
    uint32_t count_ = 0;
};

inline BitWriter StartCode(uint8_t value) {
    return BitWriter().Bytes({0, 0, 1, value});
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

struct DecoderDeleter {
    void operator()(AvsDecoder* d) const {
        DestroyDecoder(d);
        DeleteDecoder(d);
    }
};
using DecoderPtr = std::unique_ptr<AvsDecoder, DecoderDeleter>;

inline DecoderPtr NewDecoder() {
    DecoderPtr d(CreateDecoder());
    if (d) d->ops.Init(d.get());
    return d;
}

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
    explicit ScanHost(std::vector<uint8_t> stream)
        : stream_(std::move(stream)), decoder_(NewDecoder()), ctx_(*decoder_->context) {}

    // One call offering `length` bytes (fewer at the stream's end); returns the bytes taken.
    size_t Call(size_t length) {
        const size_t start = pos_;
        auto remaining = static_cast<uint32_t>(std::min(length, stream_.size() - pos_));
        do {
            uint32_t taken = 0;
            const int32_t r = Parse(ctx_, stream_.data() + pos_, remaining, &taken);
            calls.push_back({r, taken, ctx_.statusWord, ctx_.statusText});
            remaining -= taken;
            pos_ += taken;
            if (r == 0) break;
            if (r == 1) {
                units.emplace_back(ctx_.readPos, ctx_.readPos + ctx_.heldCount);
                ctx_.heldCount = 0;
            }
        } while (remaining > 0);
        return pos_ - start;
    }

    size_t Position() const { return pos_; }
    bool AtEnd() const { return pos_ == stream_.size(); }
    DecoderContext& Context() { return ctx_; }

    std::vector<std::vector<uint8_t>> units;
    std::vector<ParseCall> calls;

  private:
    std::vector<uint8_t> stream_;
    DecoderPtr decoder_;
    DecoderContext& ctx_;
    size_t pos_ = 0;
};

}  // namespace avs::test
