// One MD5 per picture in exactly the format of the conformance .md5 files,
// so that `cmp` compares a decode with them.
#include "md5_listing.h"
#include "output.h"
#include "output_file.h"

namespace avs::tool {
namespace {

// The file is created at Open, so an unwritable output fails before decoding;
// it is written at the end, when the picture count is known.
class Md5Muxer final : public FileMuxer {
  public:
    bool Write(const Picture& p) override {
        listing_.Add(p);
        return true;
    }

    bool Close() override { return Check(file_.Write(listing_.Text()) && file_.Close()); }

  private:
    Md5Listing listing_;
};

}  // namespace

std::unique_ptr<Muxer> CreateMd5Muxer(const MuxerSettings&) {
    return std::make_unique<Md5Muxer>();
}

}  // namespace avs::tool
