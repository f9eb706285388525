// Decodes only: for timing the decoder.
#include "output.h"

namespace avs::tool {
namespace {

class NullMuxer final : public Muxer {
  public:
    bool Open(const std::string&) override { return true; }
    bool Write(const Picture&) override { return true; }
    bool Close() override { return true; }
};

}  // namespace

std::unique_ptr<Muxer> CreateNullMuxer(const MuxerSettings&) {
    return std::make_unique<NullMuxer>();
}

}  // namespace avs::tool
