// One MD5 per picture in exactly the format of the conformance .md5 files,
// so that `cmp` compares a decode with them.
#include "md5_listing.h"
#include "output.h"
#include "output_file.h"

namespace avs::tool {
namespace {

class Md5Muxer final : public Muxer {
  public:
    // The file is created now, so an unwritable output fails before decoding;
    // it is written at the end, when the picture count is known.
    bool Open(const std::string& path) override { return Check(file_.Open(path)); }

    bool Write(const Picture& p) override {
        listing_.Add(p);
        return true;
    }

    bool Close() override { return Check(file_.Write(listing_.Text()) && file_.Close()); }

  private:
    bool Check(bool ok) {
        if (!ok) error_ = file_.Error();
        return ok;
    }

    OutputFile file_;
    Md5Listing listing_;
};

}  // namespace

std::unique_ptr<Muxer> CreateMd5Muxer(const MuxerSettings&) {
    return std::make_unique<Md5Muxer>();
}

}  // namespace avs::tool
