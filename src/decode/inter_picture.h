// What P and B macroblock layers share: the skip run, the start of every
// macroblock, and fetching records ahead.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bitstream/bit_reader.h"
#include "decode/intra_prediction.h"
#include "decode/macroblock.h"
#include "decode/residual.h"
#include "decode/slice.h"

namespace avs {

// The run of skipped macroblocks. With skip_mode_flag 1 a run length precedes
// every coded macroblock; with 0 every macroblock codes its type, 0 meaning
// skipped and k >= 1 meaning what mb_type k - 1 means beside skip runs.
class SkipRun {
  public:
    static constexpr uint32_t kSkipped = UINT32_MAX;

    // The macroblock's mb_type as coded beside skip runs, or kSkipped.
    uint32_t Next(BitReader& br, uint32_t skipModeFlag) {
        if (skipModeFlag == 0) {
            const uint32_t k = br.ReadUe();
            return k == 0 ? kSkipped : k - 1;
        }
        if (pending_ < 0) pending_ = br.ReadUe();
        if (pending_ > 0) {
            --pending_;
            return kSkipped;
        }
        pending_ = -1;
        return br.ReadUe();
    }

    // Every slice starts without a pending run.
    void Reset() { pending_ = -1; }

  private:
    int64_t pending_ = -1;  // -1: no run read yet
};

// Clears the record of a macroblock of a P or B picture and sets what every
// macroblock has before its syntax: the slice's running QP and its slice.
// Inline: it runs for every macroblock, and the stores merge.
inline void BeginInterMacroblock(MacroblockInfo& mb, const SliceState& slice) {
    ZeroInPieces<sizeof mb>(&mb);  // MacroblockInfo{} became rep stos
    mb.qp = slice.qp;
    mb.sliceNumber = slice.number;
    for (int8_t& mode : mb.lumaPredMode) mode = kLumaDc;
}

// Records of the pictures in the queue are cold by the time a later picture
// writes or reads them: they are fetched this many macroblocks ahead.
inline constexpr uint32_t kRecordsAhead = 4;

// Starts fetching the record at `index` (the last one when `index` lies beyond).
inline void PrefetchRecord(const MacroblockInfo* records, uint32_t index, uint32_t count) {
    const char* p = reinterpret_cast<const char*>(records + (index < count ? index : count - 1));
    for (size_t offset = 0; offset < sizeof(MacroblockInfo); offset += 64)
        __builtin_prefetch(p + offset);
    __builtin_prefetch(p + sizeof(MacroblockInfo) - 1);
}

}  // namespace avs
