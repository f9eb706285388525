#include "decode/coefficients.h"

#include <algorithm>

#include "decode/coefficient_tables.h"

namespace avs {
namespace {

// Longest prefix taken from the stream. Valid codes stay far below it; a
// corrupt prefix is cut there, so one 64-bit window (57 valid bits at any
// position) always holds the whole code: 2 * 24 + 1 + order 3 = 52 bits.
constexpr uint32_t kMaxPrefix = 24;

// Exp-Golomb code number of order k: z zeros, a one, z + k info bits, giving
// 2^(z+k) - 2^k + info.
inline uint32_t ReadCodeNumber(BitReader& br, uint32_t k) {
    const uint64_t w = br.Peek64();
    const uint32_t z =
        w ? std::min(static_cast<uint32_t>(__builtin_clzll(w)), kMaxPrefix) : kMaxPrefix;
    const uint32_t length = 2 * z + 1 + k;
    br.pos += length;
    // The marker one is OR-ed in so that a cut prefix still gives 2^(z+k) - 2^k + info.
    const auto bits = static_cast<uint32_t>(w >> (64 - length));
    return (bits | (1u << (z + k))) - (1u << k);
}

inline int NextTableForMagnitude(const VlcFamily& f, int table, uint32_t magnitude) {
    if (magnitude <= static_cast<uint32_t>(f.maxLevel[table])) return table;
    for (int i = table + 1; i < f.tableCount; ++i) {
        if (static_cast<uint32_t>(f.maxLevel[i]) >= magnitude) return i;
    }
    return f.tableCount - 1;
}

// Pairs arrive last coefficient first; at most 64 precede the end of block.
constexpr int kMaxSymbols = 65;

template <const VlcFamily& F>
int DecodeBlock(BitReader& reader, const uint8_t* scan, int16_t* block) {
    BitReader br = reader;  // a local copy stays in registers
    int32_t levels[kMaxSymbols];
    int32_t runs[kMaxSymbols];
    int count = 0;
    int table = 0;
    for (int symbol = 0; symbol < kMaxSymbols; ++symbol) {
        const uint32_t code = ReadCodeNumber(br, F.order[table]);
        if (code < kFirstEscapeCode) {
            const VlcEntry e = F.entries[table][code];
            if (e.isEob) {
                reader.pos = br.pos;
                int p = -1;
                for (int i = count - 1; i >= 0; --i) {
                    p += runs[i] + 1;
                    if (static_cast<uint32_t>(p) > 63) return -1;
                    block[scan[p]] = static_cast<int16_t>(levels[i]);
                }
                return 0;
            }
            levels[count] = e.level;
            runs[count] = e.run;
            table = e.next;
        } else {
            const uint32_t run = (code - kFirstEscapeCode) >> 1;
            const uint32_t base = run <= F.maxRun[table] ? F.refAbsLevel[table][run] : 1;
            const uint32_t magnitude = ReadCodeNumber(br, F.escapeOrder) + base;
            levels[count] =
                (code & 1) ? -static_cast<int32_t>(magnitude) : static_cast<int32_t>(magnitude);
            runs[count] = static_cast<int32_t>(run);
            table = NextTableForMagnitude(F, table, magnitude);
        }
        ++count;
    }
    reader.pos = br.pos;
    return -1;
}

}  // namespace

const uint8_t* ScanOrder(uint32_t pictureStructure) {
    return pictureStructure == 0 ? kFieldScan.data() : kZigZagScan.data();
}

int DecodeIntraLumaBlock(BitReader& br, const uint8_t* scan, int16_t* block) {
    return DecodeBlock<kIntraLumaVlc>(br, scan, block);
}

int DecodeInterLumaBlock(BitReader& br, const uint8_t* scan, int16_t* block) {
    return DecodeBlock<kInterLumaVlc>(br, scan, block);
}

int DecodeChromaBlock(BitReader& br, const uint8_t* scan, int16_t* block) {
    return DecodeBlock<kChromaVlc>(br, scan, block);
}

}  // namespace avs
