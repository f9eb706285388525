// A DecodedFrame over ordinary vectors, laid out like the frame store's
// (margins, 64-multiple pitches, map margins at -1), for decoder tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "frames/frame.h"

namespace avs::test {

class TestFrame {
  public:
    TestFrame(uint32_t width, uint32_t height, uint8_t fill = 0) {
        f.width = width;
        f.height = height;
        f.mbWidth = (width + 15) / 16;
        f.mbHeight = (height + 15) / 16;
        f.lumaPitch = (16 * f.mbWidth + 2 * kLumaMargin + 63) / 64 * 64;
        f.chromaPitch = (8 * f.mbWidth + 2 * kChromaMargin + 63) / 64 * 64;
        f.refLumaPitch = f.lumaPitch;
        f.refChromaPitch = f.chromaPitch;
        luma_.assign(f.lumaPitch * (16 * f.mbHeight + 2 * kLumaMargin), fill);
        cb_.assign(f.chromaPitch * (8 * f.mbHeight + 2 * kChromaMargin), fill);
        cr_ = cb_;
        f.lumaPlane = f.refLumaPlane = luma_.data() + kLumaMargin * f.lumaPitch + kLumaMargin;
        f.cbPlane = f.refCbPlane = cb_.data() + kChromaMargin * f.chromaPitch + kChromaMargin;
        f.crPlane = f.refCrPlane = cr_.data() + kChromaMargin * f.chromaPitch + kChromaMargin;
        map_.assign(IntraModeMapStride(f.mbWidth) * IntraModeMapRows(f.mbHeight), kModeUnavailable);
        f.intraModes = map_.data();
        records_.assign(f.mbWidth * f.mbHeight, MacroblockInfo{});
        f.macroblocks = records_.data();
    }

    uint8_t& Y(int x, int y) { return f.lumaPlane[y * f.lumaPitch + x]; }
    uint8_t& Cb(int x, int y) { return f.cbPlane[y * f.chromaPitch + x]; }
    uint8_t& Cr(int x, int y) { return f.crPlane[y * f.chromaPitch + x]; }
    const std::vector<uint8_t>& LumaBuffer() const { return luma_; }
    const std::vector<uint8_t>& CbBuffer() const { return cb_; }
    const std::vector<uint8_t>& CrBuffer() const { return cr_; }

    DecodedFrame f{};

  private:
    std::vector<uint8_t> luma_, cb_, cr_;
    std::vector<int32_t> map_;
    std::vector<MacroblockInfo> records_;
};

}  // namespace avs::test
