// The 2D-VLC symbol loop of the coefficient decoders, compiled once per
// processor level: coefficients.cpp builds it for the baseline, and
// x86/coefficients_avx2.cpp with LZCNT and BMI2, whose count-leading-zeros
// and shifts shorten the chain from one code to the next. Everything here
// lives in an unnamed namespace, so each of those files keeps its own code
// and the linker never swaps one level's copy for the other's.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

// _lzcnt_u64 is x86-64 only; a 32-bit build lets the builtin count.
#if defined(__LZCNT__) && defined(__x86_64__)
#define AVS_LZCNT64 1
#include <immintrin.h>
#endif

#include "bitstream/bit_reader.h"
#include "decode/coefficient_tables.h"

namespace avs {
namespace {

// Leading zero bits of a word; 63 or 64 for zero, where only "many" matters.
inline uint32_t LeadingZeros(uint64_t w) {
#if defined(AVS_LZCNT64)
    return static_cast<uint32_t>(_lzcnt_u64(w));
#else
    return static_cast<uint32_t>(__builtin_clzll(w | 1));
#endif
}

// Longest prefix taken from the stream. Valid codes stay far below it; a
// corrupt prefix is cut there, so one 64-bit window (57 valid bits at any
// position) always holds the whole code: 2 * 24 + 1 + order 3 = 52 bits.
constexpr uint32_t kMaxPrefix = 24;

// Exp-Golomb code numbers of order k (z zeros, a one, z + k info bits,
// giving 2^(z+k) - 2^k + info) read from a copy of the reader whose next bits
// stay in a register: `window_` holds them from its top bit, `avail_` of them
// are valid (`loaded_` were at the last reload, at br_.pos). The window is
// reloaded only when a code does not fit.
class CodeReader {
  public:
    explicit CodeReader(const BitReader& br) : br_(br) { Reload(); }

    // The next kShortCodeBits bits, for VlcFamily::shortCodes (bits past the
    // valid ones read as zeros).
    size_t PeekShort() const { return static_cast<size_t>(window_ >> (64 - kShortCodeBits)); }

    // Takes a short code of `length` bits if the window holds it
    // (kNoShortCode never fits).
    bool TakeShort(uint32_t length) {
        if (length > avail_) return false;
        window_ <<= length;
        avail_ -= length;
        return true;
    }

    uint32_t Read(uint32_t k) {
        const uint32_t z = LeadingZeros(window_);
        const uint32_t length = 2 * z + 1 + k;
        if (__builtin_expect(length > avail_ || z >= kMaxPrefix, 0)) return ReadSlow(k);
        // The one and the info bits, read as one number, are 2^(z+k) + info.
        const auto code = static_cast<uint32_t>(window_ >> (63 - 2 * z - k)) - (1u << k);
        window_ <<= length;
        avail_ -= length;
        return code;
    }

    uint32_t Position() const { return br_.pos + loaded_ - avail_; }

  private:
    void Reload() {
        window_ = br_.Peek64();
        avail_ = loaded_ = 64 - (br_.pos & 7);
    }

    // A code past the window, or a prefix cut at kMaxPrefix (the one is taken as read).
    uint32_t ReadSlow(uint32_t k) {
        br_.pos = Position();
        const uint64_t w = br_.Peek64();
        const uint32_t z = std::min(LeadingZeros(w), kMaxPrefix);
        const uint32_t length = 2 * z + 1 + k;
        br_.pos += length;
        Reload();
        const auto bits = static_cast<uint32_t>(w >> (64 - length));
        return (bits | (1u << (z + k))) - (1u << k);
    }

    BitReader br_;
    uint64_t window_;
    uint32_t avail_;
    uint32_t loaded_;
};

// Pairs arrive last coefficient first; at most 64 precede the end of block.
constexpr int kMaxSymbols = 65;

// Places the pairs, first coefficient first, and returns how many scan
// positions they cover, or -1 when they run past the last one.
inline int Place(const uint32_t* symbols, int count, const uint8_t* scan, int16_t* block) {
    size_t p = ~size_t{0};  // -1: the first pair advances to its run
#pragma GCC unroll 2
    for (const uint32_t* s = symbols + count; s != symbols;) {
        const uint32_t symbol = *--s;
        p += symbol >> 16;
        if (p > 63) return -1;
        block[scan[p]] = static_cast<int16_t>(symbol);
    }
    return static_cast<int>(p + 1);
}

// Where DecodePairs puts the pairs: here in arrival order, placed at the end
// of block. Another keeper may give up on a block (when Full, or when Add
// refuses a pair) and have it decoded again this way.
class PairList {
  public:
    bool Full() const { return count_ == kMaxSymbols; }
    // A pair from the short-code table, which holds no unassigned code.
    void AddShort(uint32_t symbol) { symbols_[count_++] = symbol; }
    bool Add(uint32_t symbol) {
        AddShort(symbol);
        return true;
    }
    int End(const uint8_t* scan, int16_t* block) { return Place(symbols_, count_, scan, block); }
    // The loop stopped without an end of block (here: kMaxSymbols codes
    // without one), the reader's copy at `position`.
    int Unfinished(BitReader& reader, uint32_t position, const uint8_t*, int16_t*) {
        reader.pos = position;
        return -1;
    }

  private:
    uint32_t symbols_[kMaxSymbols];
    int count_ = 0;
};

// The symbol loop: codes until the end of block, pairs into `pairs`.
template <const VlcFamily& F, class Pairs>
int DecodePairs(BitReader& reader, Pairs& pairs, const uint8_t* scan, int16_t* block) {
    CodeReader codes(reader);
    size_t row = 0;  // the current table's row of short codes
    while (!pairs.Full()) {
        // Most codes: one look-up gives the whole code.
        const VlcShortCode& s = F.shortCodes[row + codes.PeekShort()];
        if (codes.TakeShort(s.length)) {
            pairs.AddShort(s.symbol);
            row = s.nextRow;
            continue;
        }
        auto table = static_cast<uint32_t>(row >> kShortCodeBits);
        const uint32_t code = codes.Read(F.order[table]);
        uint32_t symbol;
        if (code < kFirstEscapeCode) {
            const VlcEntry e = F.entries[table][code];
            if (e.isEob) {
                reader.pos = codes.Position();
                return pairs.End(scan, block);
            }
            symbol = e.symbol;
            table = e.next;
        } else {
            // Run and sign in the code, the magnitude above the run's reference level.
            const uint32_t run = (code - kFirstEscapeCode) >> 1;
            const uint32_t magnitude =
                codes.Read(F.escapeOrder) + F.refAbsLevel[table][std::min(run, kRunCap)];
            const uint32_t level = (code & 1) ? 0u - magnitude : magnitude;
            // A run past the block's end only needs to stay past it.
            symbol = PackSymbol(static_cast<int>(std::min(run, 64u)), 0) | (level & 0xFFFF);
            const auto fit =
                static_cast<uint32_t>(F.tablesForLevels >> (4 * std::min(magnitude, kLevelCap))) &
                15;
            table = std::max(table, fit);
        }
        if (!pairs.Add(symbol)) return pairs.Unfinished(reader, codes.Position(), scan, block);
        row = table << kShortCodeBits;
    }
    return pairs.Unfinished(reader, codes.Position(), scan, block);
}

template <const VlcFamily& F>
int DecodeBlock(BitReader& reader, const uint8_t* scan, int16_t* block) {
    PairList pairs;
    return DecodePairs<F>(reader, pairs, scan, block);
}

}  // namespace
}  // namespace avs
