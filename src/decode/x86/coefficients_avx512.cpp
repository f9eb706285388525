// The coefficient decoders built for processors with AVX-512: the symbol
// loop of coefficient_loop.h, with the levels written straight into scan
// order instead of collected and placed one by one after the end of block.
#include "decode/coefficient_loop.h"
#include "decode/kernel_table.h"
#include "decode/x86/avx512.h"
#include "decode/x86/coefficients_x86.h"

namespace avs {
namespace {

// The scan index of each raster position, as 16-bit permute indices.
struct RasterIndex {
    alignas(64) uint16_t of[64];
};
constexpr RasterIndex Widen(const uint8_t (&scanIndex)[64]) {
    RasterIndex r{};
    for (int i = 0; i < 64; ++i) r.of[i] = scanIndex[i];
    return r;
}
constexpr RasterIndex kZigZagRaster = Widen(kZigZagScanIndex);
constexpr RasterIndex kFieldRaster = Widen(kFieldScanIndex);

// A level's scan position is its distance from the block's last
// coefficient, known only at the end of block: the levels are written
// backwards from a fixed point (the last coefficient's slot, kLast), so the
// block in scan order is the 64 slots that start where the writing ended,
// and two word permutes take them to raster order. Slots kFirst to kLast
// that no level lands on are zero, and so are the 64 after kLast.
template <const VlcFamily& F>
class ScanOrderPairs {
  public:
    explicit ScanOrderPairs(const RasterIndex& raster) : raster_(raster) {
        for (int i = 64; i < 192; i += 32) _mm512_store_si512(slots_ + i, _mm512_setzero_si512());
    }
    // Pairs that cover more than 64 positions (corrupt data) end the fast
    // way: the block is decoded again by PairList, which places what fits.
    // Slot kFirst - 1 takes the level of a pair that already lies past them.
    bool Full() const { return next_ < kFirst - 1; }
    void AddShort(uint32_t symbol) {
        slots_[next_] = static_cast<int16_t>(symbol);
        next_ -= static_cast<int>(symbol >> 16);
    }
    // An unassigned code does not move on; PairList settles which level stays.
    bool Add(uint32_t symbol) {
        if (symbol >> 16 == 0) return false;
        AddShort(symbol);
        return true;
    }
    int End(const uint8_t*, int16_t* block) {
        const int16_t* scanOrder = slots_ + next_ + 1;
        const __m512i low = _mm512_loadu_si512(scanOrder);
        const __m512i high = _mm512_loadu_si512(scanOrder + 32);
        _mm512_storeu_si512(block,
                            _mm512_permutex2var_epi16(low, _mm512_load_si512(raster_.of), high));
        _mm512_storeu_si512(
            block + 32, _mm512_permutex2var_epi16(low, _mm512_load_si512(raster_.of + 32), high));
        return kLast - next_;
    }
    int Unfinished(BitReader& reader, uint32_t, const uint8_t* scan, int16_t* block) {
        return DecodeBlock<F>(reader, scan, block);  // the reader has not moved
    }

  private:
    static constexpr int kFirst = 64;
    static constexpr int kLast = 127;
    alignas(64) int16_t slots_[192];
    const RasterIndex& raster_;
    int next_ = kLast;
};

template <const VlcFamily& F>
int DecodeBlockAvx512(BitReader& br, const uint8_t* scan, int16_t* block) {
    const RasterIndex* raster = scan == kZigZagScan.data()  ? &kZigZagRaster
                                : scan == kFieldScan.data() ? &kFieldRaster
                                                            : nullptr;
    if (raster == nullptr) return DecodeBlock<F>(br, scan, block);
    ScanOrderPairs<F> pairs(*raster);
    return DecodePairs<F>(br, pairs, scan, block);
}

}  // namespace

void InstallCoefficientKernelsAvx512(KernelTable& table) {
    table.DecodeIntraLumaBlock = DecodeBlockAvx512<kIntraLumaVlc>;
    table.DecodeInterLumaBlock = DecodeBlockAvx512<kInterLumaVlc>;
    table.DecodeChromaBlock = DecodeBlockAvx512<kChromaVlc>;
}

}  // namespace avs
