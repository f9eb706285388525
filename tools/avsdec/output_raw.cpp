// Raw pictures in one of the library's output layouts (--format), fetched
// with the layout's FourCC and a top-down pitch, pictures back to back.
#include <array>

#include "output.h"
#include "output_file.h"

namespace avs::tool {
namespace {

struct RawFormat {
    const char* name;
    uint32_t fourcc;
    int32_t (*pitch)(uint32_t width);  // negative BGR pitches write top-down
};

constexpr std::array kFormats = {
    RawFormat{"yv12", AVS_FOURCC_YV12, [](uint32_t w) { return static_cast<int32_t>(w); }},
    RawFormat{"yuy2", AVS_FOURCC_YUY2, [](uint32_t w) { return static_cast<int32_t>(2 * w); }},
    RawFormat{"uyvy", AVS_FOURCC_UYVY, [](uint32_t w) { return static_cast<int32_t>(2 * w); }},
    RawFormat{"bgr3", AVS_FOURCC_BGR3, [](uint32_t w) { return -static_cast<int32_t>(3 * w); }},
    RawFormat{"bgr4", AVS_FOURCC_BGR4, [](uint32_t w) { return -static_cast<int32_t>(4 * w); }},
};

class RawMuxer final : public FileMuxer {
  public:
    explicit RawMuxer(uint32_t fourcc) : request_{AVS_FOURCC_YV12, kFormats[0].pitch} {
        for (const RawFormat& f : kFormats) {
            if (f.fourcc == fourcc) request_ = {f.fourcc, f.pitch};
        }
    }
    PictureRequest Request() const override { return request_; }
    bool Write(const Picture& p) override { return Check(file_.Write(p.bytes)); }

  private:
    PictureRequest request_;
};

}  // namespace

uint32_t RawFormatFourcc(std::string_view name) {
    for (const RawFormat& f : kFormats) {
        if (name == f.name) return f.fourcc;
    }
    return 0;
}

std::unique_ptr<Muxer> CreateRawMuxer(const MuxerSettings& settings) {
    return std::make_unique<RawMuxer>(settings.rawFourcc);
}

}  // namespace avs::tool
