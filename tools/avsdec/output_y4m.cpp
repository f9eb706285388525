// YUV4MPEG2 4:2:0, the format players open directly.
#include <cstdio>
#include <numeric>
#include <vector>

#include "output.h"
#include "output_file.h"

namespace avs::tool {
namespace {

struct Ratio {
    uint64_t num, den;
};

// frame_rate_code 1..8; other codes are not defined and play at 25.
Ratio FrameRate(uint32_t code) {
    static constexpr Ratio kRates[] = {{24000, 1001}, {24, 1}, {25, 1},       {30000, 1001},
                                       {30, 1},       {50, 1}, {60000, 1001}, {60, 1}};
    return code >= 1 && code <= 8 ? kRates[code - 1] : Ratio{25, 1};
}

// aspect_ratio 1 is square samples; 2, 3 and 4 give the display aspect, from
// which the sample aspect follows; 0:0 is "unknown".
Ratio SampleAspect(uint32_t code, uint32_t width, uint32_t height) {
    static constexpr Ratio kDisplay[] = {{4, 3}, {16, 9}, {221, 100}};
    if (code == 1) return {1, 1};
    if (code < 2 || code > 4 || width == 0 || height == 0) return {0, 0};
    const Ratio d = kDisplay[code - 2];
    const uint64_t num = d.num * height, den = d.den * width;
    const uint64_t g = std::gcd(num, den);
    return {num / g, den / g};
}

class Y4mMuxer final : public FileMuxer {
  public:
    bool Write(const Picture& p) override {
        if (width_ == 0) {
            width_ = p.width;
            height_ = p.height;
            const Ratio rate = FrameRate(p.sequence.frame_rate_code);
            const Ratio sar = SampleAspect(p.sequence.aspect_ratio, p.width, p.height);
            char header[160];
            std::snprintf(
                header, sizeof header, "YUV4MPEG2 W%u H%u F%llu:%llu Ip A%llu:%llu C420jpeg\n",
                p.width, p.height, static_cast<unsigned long long>(rate.num),
                static_cast<unsigned long long>(rate.den), static_cast<unsigned long long>(sar.num),
                static_cast<unsigned long long>(sar.den));
            if (!file_.Write(std::string_view(header))) return Failed();
        } else if (p.width != width_ || p.height != height_) {
            error_ = "picture " + std::to_string(p.index) + " is " + std::to_string(p.width) + "x" +
                     std::to_string(p.height) + ", but a .y4m file holds one size (" +
                     std::to_string(width_) + "x" + std::to_string(height_) + ")";
            return false;
        }
        if (!file_.Write(std::string_view("FRAME\n")) || !file_.Write(p.y)) return Failed();
        return WriteChroma(p.cb, p) && WriteChroma(p.cr, p);
    }

  private:
    bool Failed() { return Check(false); }

    // The decoder's chroma planes are (width/2) x (height/2); the format wants
    // the halves rounded up, so odd sizes repeat the last column and row.
    bool WriteChroma(std::span<const uint8_t> plane, const Picture& p) {
        const size_t w = p.width / 2, h = p.height / 2;
        const size_t outW = (p.width + 1) / 2, outH = (p.height + 1) / 2;
        if (w == outW && h == outH) return file_.Write(plane) || Failed();
        std::vector<uint8_t> row(outW, 128);
        for (size_t r = 0; r < outH; ++r) {
            if (w > 0 && h > 0) {
                const uint8_t* src = plane.data() + std::min(r, h - 1) * w;
                std::copy(src, src + w, row.begin());
                std::fill(row.begin() + static_cast<ptrdiff_t>(w), row.end(), src[w - 1]);
            }
            if (!file_.Write(row)) return Failed();
        }
        return true;
    }

    uint32_t width_ = 0;
    uint32_t height_ = 0;
};

}  // namespace

std::unique_ptr<Muxer> CreateY4mMuxer(const MuxerSettings&) {
    return std::make_unique<Y4mMuxer>();
}

}  // namespace avs::tool
