// The listing of the conformance .md5 files: "# WIDTHxHEIGHT FRAMES", then
// "INDEX MD5" per picture, the MD5 taken over the planar I420 picture (luma,
// Cb, Cr, no padding). The size is the first picture's.
#pragma once

#include <string>
#include <vector>

#include "host_decoder.h"

namespace avs::tool {

class Md5Listing {
  public:
    // Takes a picture fetched as planar I420.
    void Add(const Picture& picture);
    // Header line first, then one line per picture, without line ends.
    std::vector<std::string> Lines() const;
    // The whole file: every line followed by '\n'.
    std::string Text() const;

  private:
    std::vector<std::string> pictures_;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
};

}  // namespace avs::tool
