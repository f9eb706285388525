// Raw I420 pictures back to back: luma, then Cb, then Cr.
#include "output.h"
#include "output_file.h"

namespace avs::tool {
namespace {

class YuvMuxer final : public Muxer {
  public:
    bool Open(const std::string& path) override { return Check(file_.Open(path)); }
    bool Write(const Picture& p) override { return Check(file_.Write(p.bytes)); }
    bool Close() override { return Check(file_.Close()); }

  private:
    bool Check(bool ok) {
        if (!ok) error_ = file_.Error();
        return ok;
    }

    OutputFile file_;
};

}  // namespace

std::unique_ptr<Muxer> CreateYuvMuxer(const MuxerSettings&) {
    return std::make_unique<YuvMuxer>();
}

}  // namespace avs::tool
