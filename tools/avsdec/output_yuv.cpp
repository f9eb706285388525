// Raw I420 pictures back to back: luma, then Cb, then Cr.
#include "output.h"
#include "output_file.h"

namespace avs::tool {
namespace {

class YuvMuxer final : public FileMuxer {
  public:
    bool Write(const Picture& p) override { return Check(file_.Write(p.bytes)); }
};

}  // namespace

std::unique_ptr<Muxer> CreateYuvMuxer(const MuxerSettings&) {
    return std::make_unique<YuvMuxer>();
}

}  // namespace avs::tool
