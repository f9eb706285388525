// The 2D-VLC tables of the three coefficient block decoders, and the per-code
// lookups derived from them at compile time.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace avs {

// Code numbers of 59 and above are escapes: run and sign in the code, the
// level magnitude in a second code.
inline constexpr uint32_t kFirstEscapeCode = 59;

namespace vlc_source {

// One string per table: the code number of (run, +level) for levels 1, 2, 3,
// ... of each run, runs separated by '/'. (run, -level) is that number + 1.
inline constexpr std::string_view kIntraLuma[] = {
    "0 22 38/2 32/4 44/6 50/8 54/10/12/14/16/18/20/24/26/28/30/34/36/40/42/46/48/52/56",
    "0 4 15 27 41 55/2 17 35/6 25 53/9 33/11 39/13 45/19 49/21 51/23/29/31/37/43/47/57",
    "0 2 6 13 17 27 35 45 55/4 11 21 33 49/9 23 37/15 29 51/19 39/25 43/31 53/41/47/57",
    "0 2 4 9 11 17 21 25 33 39 45 55/6 13 19 29 35 47/15 27 41 57/23 37 53/31 51/43/49",
    "0 2 4 7 9 11 15 17 21 23 29 33 35 43 47 49 57/13 19 27 31 37 45 55/25 41 51/39/53",
    "1 3 5 7 9 11 13 15 17 19 23 25 27 31 33 37 41 45 49 51 55/21 29 35 43 47 53/39 57",
    "1 3 5 7 9 11 13 15 17 19 21 23 25 27 29 31 35 37 39 41 43 47 49 51 53 57/33 45 55",
};
inline constexpr std::string_view kInterLuma[] = {
    "0 26 40/2 46/4/6/8/10/12/14/16/18/20/22/24/28/30/32/34/36/38/42/44/48/50/52/54/56",
    "0 13 29 47/3 23 57/5 35/7 39/9 43/11 49/15 55/17/19/21/25/27/31/33/37/41/45/51/53",
    "0 5 11 23 35 47/3 13 27 49/7 21 45/9 29 55/15 37/17 41/19 53/25/31/33/39/43/51/57",
    "0 3 7 13 17 27 35 43 55/5 11 21 33 51/9 23 37 57/15 29 47/19 41/25 49/31/39/45/53",
    "0 3 5 9 11 17 21 25 33 41 45 55/7 13 19 29 35 49/15 27 43 57/23 37 51/31 53/39/47",
    "1 3 5 7 9 13 15 17 21 25 29 33 39 43 49 53/11 19 27 31 41 45 57/23 37 51/35 55/47",
    "1 3 5 7 9 11 13 17 19 21 23 25 29 33 35 39 41 43 47 49 57/15 27 37 45 55/31 51/53",
};
inline constexpr std::string_view kChroma[] = {
    "0 14 32 56/2 48/4/6/8/10/12/16/18/20/22/24/26/28/30/34/36/38/40/42/44/46/50/52/54",
    "1 5 15 29 43/3 21 45/7 37/9 41/11 53/13/17/19/23/25/27/31/33/35/39/47/49/51/55/57",
    "0 3 7 11 17 27 33 47 53/5 13 21 37 55/9 23 41/15 31 57/19 43/25 45/29/35/39/49/51",
    "1 3 5 7 11 15 19 23 29 35 43 47 53/9 13 21 31 39 51/17 27 37/25 41/33 55/45/49/57",
    "1 3 5 7 9 11 13 15 19 21 23 27 29 33 37 41 43 51 55/17 25 31 39 45 53/35 49/47/57",
};

// Per-table constants: Exp-Golomb order, end-of-block code (-1: none), and
// the largest level magnitude before the table adapts.
struct TableConstants {
    uint8_t order;
    int8_t eob;
    int16_t maxLevel;
};
inline constexpr TableConstants kIntraLumaConstants[] = {
    {2, -1, 0}, {2, 8, 1}, {2, 8, 2}, {2, 8, 4}, {2, 6, 7}, {2, 0, 10}, {2, 0, 3000}};
inline constexpr TableConstants kInterLumaConstants[] = {
    {3, -1, 0}, {2, 2, 1}, {2, 2, 2}, {2, 2, 3}, {2, 2, 6}, {2, 0, 9}, {2, 0, 3000}};
inline constexpr TableConstants kChromaConstants[] = {
    {2, -1, 0}, {0, 0, 1}, {1, 2, 2}, {1, 0, 4}, {0, 0, 3000}};

}  // namespace vlc_source

// A decoded (run, level) pair as the block decoders keep it: the 16-bit
// level in the low half, and in the high half how far the scan position
// advances to it (run + 1).
constexpr uint32_t PackSymbol(int run, int level) {
    return static_cast<uint32_t>(run + 1) << 16 | static_cast<uint16_t>(level);
}

// One code number of one table, ready to use.
struct VlcEntry {
    uint32_t symbol;  // PackSymbol(run, level); a code the table does not assign
                      // is (run -1, level -1), which stays at the same position
    uint8_t next;     // table that the following symbol uses
    uint8_t isEob;    // 1 for the end-of-block code
};

// Entries per table: the code numbers below kFirstEscapeCode, padded to a
// power of two so that a table's entries are found by a shift.
inline constexpr int kVlcTableStride = 64;

// The next kShortCodeBits bits of the stream, looked up in one table, give a
// code of at most that many bits whole: length, symbol and the table that
// follows. Most codes are that short. Longer codes, escapes, the end of
// block (once per block) and codes a table does not assign (only in corrupt
// data) take the general way.
inline constexpr int kShortCodeBits = 8;
inline constexpr uint8_t kNoShortCode = 0xFF;  // longer than any window
struct VlcShortCode {
    uint32_t symbol;   // as VlcEntry::symbol
    uint16_t nextRow;  // the following table's row: its index << kShortCodeBits
    uint8_t length;    // or kNoShortCode
};

inline constexpr int kMaxVlcTables = 7;
// Escapes look up the run's reference level with runs above this cut to it:
// every table's largest run lies below.
inline constexpr uint32_t kRunCap = 31;
// Escaped magnitudes above this cut to it to find their table: every table's
// largest finite maxLevel lies below.
inline constexpr uint32_t kLevelCap = 11;

// Everything one block decoder needs, derived from its source tables.
struct VlcFamily {
    int tableCount;
    uint8_t escapeOrder;
    uint8_t order[kMaxVlcTables];
    int16_t maxLevel[kMaxVlcTables];
    uint8_t maxRun[kMaxVlcTables];
    // 1 + the largest level magnitude the table codes for a run; 1 for runs
    // above maxRun.
    uint8_t refAbsLevel[kMaxVlcTables][kRunCap + 1];
    // The first table whose maxLevel reaches a magnitude (cut at kLevelCap),
    // four bits per magnitude: a word, so that escapes find it with a shift
    // instead of a load.
    uint64_t tablesForLevels;
    VlcEntry entries[kMaxVlcTables][kVlcTableStride];
    VlcShortCode shortCodes[kMaxVlcTables << kShortCodeBits];
};

namespace vlc_detail {

template <size_t N>
constexpr int NextTable(const vlc_source::TableConstants (&c)[N], int table, int magnitude) {
    if (magnitude <= c[table].maxLevel) return table;
    for (int i = 1; i < static_cast<int>(N); ++i) {
        if (c[i].maxLevel >= magnitude) return i;
    }
    return static_cast<int>(N) - 1;
}

template <size_t N>
constexpr VlcFamily BuildFamily(const std::string_view (&source)[N],
                                const vlc_source::TableConstants (&constants)[N],
                                uint8_t escapeOrder) {
    VlcFamily f{};
    f.tableCount = static_cast<int>(N);
    f.escapeOrder = escapeOrder;
    for (uint32_t m = 0; m <= kLevelCap; ++m) {
        f.tablesForLevels |= static_cast<uint64_t>(NextTable(constants, 0, static_cast<int>(m)))
                             << (4 * m);
    }
    for (size_t t = 0; t < N; ++t) {
        f.order[t] = constants[t].order;
        f.maxLevel[t] = constants[t].maxLevel;
        for (auto& level : f.refAbsLevel[t]) level = 1;
        const auto unassignedNext = static_cast<uint8_t>(NextTable(constants, t, 1));
        for (auto& e : f.entries[t]) {
            e = {PackSymbol(-1, -1), unassignedNext, 0};
        }
        int run = 0;
        int level = 0;
        int number = -1;
        for (size_t i = 0; i <= source[t].size(); ++i) {
            const char ch = i < source[t].size() ? source[t][i] : '/';
            if (ch >= '0' && ch <= '9') {
                number = (number < 0 ? 0 : number * 10) + (ch - '0');
                continue;
            }
            if (number >= 0) {
                ++level;
                const auto next = static_cast<uint8_t>(NextTable(constants, t, level));
                f.entries[t][number] = {PackSymbol(run, level), next, 0};
                f.entries[t][number + 1] = {PackSymbol(run, -level), next, 0};
                number = -1;
            }
            if (ch == '/') {
                f.refAbsLevel[t][run] = static_cast<uint8_t>(level + 1);
                f.maxRun[t] = static_cast<uint8_t>(run);
                ++run;
                level = 0;
            }
        }
        if (constants[t].eob >= 0) f.entries[t][constants[t].eob] = {0, 0, 1};
    }
    for (auto& code : f.shortCodes) code.length = kNoShortCode;
    for (size_t t = 0; t < N; ++t) {
        const int k = constants[t].order;
        for (int bits = 0; bits < (1 << kShortCodeBits); ++bits) {
            int zeros = 0;
            while (zeros < kShortCodeBits && !(bits & (1 << (kShortCodeBits - 1 - zeros)))) ++zeros;
            const int length = 2 * zeros + 1 + k;
            if (length > kShortCodeBits) continue;
            const int code = (bits >> (kShortCodeBits - length)) - (1 << k);
            if (code >= static_cast<int>(kFirstEscapeCode)) continue;
            const VlcEntry& e = f.entries[t][code];
            if (e.isEob || e.symbol >> 16 == 0) continue;
            f.shortCodes[(t << kShortCodeBits) + bits] = {
                e.symbol, static_cast<uint16_t>(e.next << kShortCodeBits),
                static_cast<uint8_t>(length)};
        }
    }
    return f;
}

}  // namespace vlc_detail

inline constexpr VlcFamily kIntraLumaVlc =
    vlc_detail::BuildFamily(vlc_source::kIntraLuma, vlc_source::kIntraLumaConstants, 1);
inline constexpr VlcFamily kInterLumaVlc =
    vlc_detail::BuildFamily(vlc_source::kInterLuma, vlc_source::kInterLumaConstants, 0);
inline constexpr VlcFamily kChromaVlc =
    vlc_detail::BuildFamily(vlc_source::kChroma, vlc_source::kChromaConstants, 0);

// The caps stay above every table's largest run and finite level.
static_assert(kInterLumaVlc.maxRun[0] < kRunCap && kChromaVlc.maxRun[0] < kRunCap);
static_assert(kIntraLumaVlc.maxLevel[5] < kLevelCap && kInterLumaVlc.maxLevel[5] < kLevelCap &&
              kChromaVlc.maxLevel[3] < kLevelCap);
static_assert(kIntraLumaVlc.tablesForLevels >> (4 * kLevelCap) == 6 &&
              (kIntraLumaVlc.tablesForLevels >> 12 & 15) == 3 &&
              kChromaVlc.tablesForLevels >> (4 * kLevelCap) == 4);
static_assert(kInterLumaVlc.order[0] == 3 && kChromaVlc.order[1] == 0 && kChromaVlc.order[2] == 1);
static_assert(kIntraLumaVlc.maxRun[0] == 22 && kIntraLumaVlc.maxRun[6] == 1);
static_assert(kInterLumaVlc.maxRun[0] == 25 && kInterLumaVlc.maxRun[6] == 3);
static_assert(kChromaVlc.maxRun[0] == 24 && kChromaVlc.maxRun[4] == 4);
static_assert(kIntraLumaVlc.refAbsLevel[0][0] == 4 && kIntraLumaVlc.refAbsLevel[0][1] == 3 &&
              kIntraLumaVlc.refAbsLevel[0][5] == 2);

// Coefficient scans: the scan index of each raster position (row-major), as
// the tables are written, and the raster position of each scan index.
inline constexpr uint8_t kZigZagScanIndex[64] = {
    0,  1,  5,  6,  14, 15, 27, 28, 2,  4,  7,  13, 16, 26, 29, 42,  //
    3,  8,  12, 17, 25, 30, 41, 43, 9,  11, 18, 24, 31, 40, 44, 53,  //
    10, 19, 23, 32, 39, 45, 52, 54, 20, 22, 33, 38, 46, 51, 55, 60,  //
    21, 34, 37, 47, 50, 56, 59, 61, 35, 36, 48, 49, 57, 58, 62, 63};
inline constexpr uint8_t kFieldScanIndex[64] = {
    0, 3,  11, 16, 22, 32, 38, 55, 1,  6,  12, 20, 25, 33, 42, 57,  //
    2, 7,  15, 21, 28, 37, 43, 58, 4,  10, 19, 27, 31, 39, 47, 59,  //
    5, 14, 24, 30, 36, 44, 50, 60, 8,  17, 26, 35, 41, 48, 52, 61,  //
    9, 18, 29, 40, 46, 51, 54, 62, 13, 23, 34, 45, 49, 53, 56, 63};

constexpr std::array<uint8_t, 64> InvertScan(const uint8_t (&scanIndex)[64]) {
    std::array<uint8_t, 64> order{};
    for (int pos = 0; pos < 64; ++pos) order[scanIndex[pos]] = static_cast<uint8_t>(pos);
    return order;
}
inline constexpr std::array<uint8_t, 64> kZigZagScan = InvertScan(kZigZagScanIndex);
inline constexpr std::array<uint8_t, 64> kFieldScan = InvertScan(kFieldScanIndex);

}  // namespace avs
