// Builds bit strings for parser and decoder tests: fixed fields and
// Exp-Golomb codes of any order, most significant bit first, as the bit reader
// reads them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "bitstream/bit_reader.h"

namespace avs::test {

class BitWriter {
  public:
    BitWriter& Bits(uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i) Bit((value >> i) & 1);
        return *this;
    }
    BitWriter& Bit(uint32_t b) {
        if (count_ % 8 == 0) bytes_.push_back(0);
        if (b) bytes_.back() |= static_cast<uint8_t>(0x80 >> (count_ % 8));
        ++count_;
        return *this;
    }
    // Code number `code` of an Exp-Golomb code of order k.
    BitWriter& ExpGolomb(uint32_t code, int k) {
        const uint64_t value = uint64_t{code} + (uint64_t{1} << k);
        int length = 0;
        while ((value >> length) > 1) ++length;  // index of the top bit
        for (int i = 0; i < length - k; ++i) Bit(0);
        for (int i = length; i >= 0; --i) Bit((value >> i) & 1);
        return *this;
    }
    BitWriter& Ue(uint32_t v) { return ExpGolomb(v, 0); }
    BitWriter& Se(int32_t v) {  // code number 2|v| - (v > 0)
        return Ue(v > 0 ? 2 * static_cast<uint32_t>(v) - 1 : 2 * static_cast<uint32_t>(-v));
    }
    BitWriter& AlignWithZeros() {
        while (count_ % 8) Bit(0);
        return *this;
    }
    // A 1 and zeros up to the byte boundary: how a header ends before a start code.
    BitWriter& Stuffing() { return Bit(1).AlignWithZeros(); }
    BitWriter& Bytes(std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) Bits(b, 8);
        return *this;
    }

    uint32_t BitCount() const { return count_; }
    uint32_t ByteCount() const { return static_cast<uint32_t>(bytes_.size()); }
    const std::vector<uint8_t>& Data() const { return bytes_; }
    // The bytes followed by the zero padding a unit carries.
    std::vector<uint8_t> Unit() const {
        std::vector<uint8_t> unit = bytes_;
        unit.resize(unit.size() + kUnitPadding, 0);
        return unit;
    }

  private:
    std::vector<uint8_t> bytes_;
    uint32_t count_ = 0;
};

}  // namespace avs::test
