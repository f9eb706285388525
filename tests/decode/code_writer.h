// Builds bit strings for decoder tests: fixed fields and Exp-Golomb codes of any order,
// most significant bit first, padded like every unit the decoder reads.
#pragma once

#include <cstdint>
#include <vector>

#include "bitstream/bit_reader.h"

namespace avs::test {

class CodeWriter {
  public:
    void Bits(uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i) Bit((value >> i) & 1);
    }
    void Bit(uint32_t b) {
        if (count_ % 8 == 0) bytes_.push_back(0);
        if (b) bytes_.back() |= static_cast<uint8_t>(0x80 >> (count_ % 8));
        ++count_;
    }
    // Code number of an Exp-Golomb code of order k.
    void ExpGolomb(uint32_t code, int k) {
        const uint64_t value = uint64_t{code} + (uint64_t{1} << k);
        int length = 0;
        while ((value >> length) > 1) ++length;  // index of the top bit
        for (int i = 0; i < length - k; ++i) Bit(0);
        for (int i = length; i >= 0; --i) Bit((value >> i) & 1);
    }
    void Ue(uint32_t v) { ExpGolomb(v, 0); }
    void AlignWithZeros() {
        while (count_ % 8) Bit(0);
    }

    uint32_t BitCount() const { return count_; }
    uint32_t ByteCount() const { return static_cast<uint32_t>(bytes_.size()); }
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
