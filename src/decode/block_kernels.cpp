#include "decode/block_kernels.h"

#include "decode/dequant_tables.h"
#include "decode/kernel_table.h"
#include "platform/cpu_features.h"
#include "platform/sample.h"

#if defined(__x86_64__) || defined(__i386__)
#include "decode/x86/block_kernels_x86.h"
#endif

namespace avs {
namespace {

// One 8-point inverse transform, even/odd butterfly: out[j] = sum_i in[i] * T[i][j].
inline void Transform8(const int32_t in[8], int32_t out[8]) {
    const int32_t e0 = 8 * (in[0] + in[4]);
    const int32_t e1 = 8 * (in[0] - in[4]);
    const int32_t f0 = 10 * in[2] + 4 * in[6];
    const int32_t f1 = 4 * in[2] - 10 * in[6];
    const int32_t even[4] = {e0 + f0, e1 + f1, e1 - f1, e0 - f0};
    const int32_t odd[4] = {
        10 * in[1] + 9 * in[3] + 6 * in[5] + 2 * in[7],
        9 * in[1] - 2 * in[3] - 10 * in[5] - 6 * in[7],
        6 * in[1] - 10 * in[3] + 2 * in[5] + 9 * in[7],
        2 * in[1] - 6 * in[3] + 9 * in[5] - 10 * in[7],
    };
    for (int j = 0; j < 4; ++j) {
        out[j] = even[j] + odd[j];
        out[7 - j] = even[j] - odd[j];
    }
}

}  // namespace

void DequantIdctPlain(int16_t* block, int qp) {
    qp = BoundQp(qp);

    // Row pass; its results wrap to 16 bits.
    int16_t rows[64];
    for (int r = 0; r < 8; ++r) {
        int32_t in[8];
        int32_t out[8];
        for (int i = 0; i < 8; ++i) in[i] = Dequantise(block[8 * r + i], qp);
        Transform8(in, out);
        for (int j = 0; j < 8; ++j) rows[8 * r + j] = static_cast<int16_t>((out[j] + 4) >> 3);
    }
    // Column pass; its sums saturate so that every residual lies in -256..255.
    for (int c = 0; c < 8; ++c) {
        int32_t in[8];
        int32_t out[8];
        for (int i = 0; i < 8; ++i) in[i] = rows[8 * i + c];
        Transform8(in, out);
        for (int j = 0; j < 8; ++j) {
            const int32_t s = out[j] < kColumnSumMin   ? kColumnSumMin
                              : out[j] > kColumnSumMax ? kColumnSumMax
                                                       : out[j];
            block[8 * j + c] = static_cast<int16_t>((s + 64) >> 7);
        }
    }
}

int16_t DcOnlyResidual(int16_t dc, int qp) {
    // The row pass turns the dequantised DC d into d in every sample of row 0
    // ((8d + 4) >> 3), the column pass each column's d into 8d in every row.
    const int32_t sum = 8 * Dequantise(dc, BoundQp(qp));
    const int32_t s = sum < kColumnSumMin   ? kColumnSumMin
                      : sum > kColumnSumMax ? kColumnSumMax
                                            : sum;
    return static_cast<int16_t>((s + 64) >> 7);
}

void StoreLumaBlockPlain(uint8_t* dst, ptrdiff_t pitch, const uint8_t* pred,
                         const int16_t* residual) {
    for (int r = 0; r < 8; ++r, dst += pitch) {
        for (int c = 0; c < 8; ++c) dst[c] = ClipSample(pred[8 * r + c] + residual[8 * r + c]);
    }
}

void StoreChromaBlockPlain(uint8_t* dst, ptrdiff_t pitch, const uint8_t* pred,
                           const int16_t* residual, int coded) {
    if (!coded) {
        for (int r = 0; r < 8; ++r, dst += pitch) {
            for (int c = 0; c < 8; ++c) dst[c] = pred[8 * r + c];
        }
        return;
    }
    StoreLumaBlockPlain(dst, pitch, pred, residual);
}

void InstallBlockKernels(KernelTable& table, uint32_t features) {
    table.DequantIdct = DequantIdctPlain;
    table.StoreLumaBlock = StoreLumaBlockPlain;
    table.StoreChromaBlock = StoreChromaBlockPlain;
#if defined(__x86_64__) || defined(__i386__)
    if (features & cpu::kSse2) InstallBlockKernelsSse2(table);
    if (features & cpu::kAvx2) InstallBlockKernelsAvx2(table);
#else
    (void)features;
#endif
}

}  // namespace avs
