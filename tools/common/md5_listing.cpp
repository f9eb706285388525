#include "md5_listing.h"

#include "md5.h"

namespace avs::tool {

void Md5Listing::Add(const Picture& picture) {
    if (pictures_.empty()) {
        width_ = picture.width;
        height_ = picture.height;
    }
    pictures_.push_back(std::to_string(picture.index) + ' ' +
                        Md5Hex({picture.y, picture.cb, picture.cr}));
}

std::vector<std::string> Md5Listing::Lines() const {
    std::vector<std::string> lines{"# " + std::to_string(width_) + 'x' + std::to_string(height_) +
                                   ' ' + std::to_string(pictures_.size())};
    lines.insert(lines.end(), pictures_.begin(), pictures_.end());
    return lines;
}

std::string Md5Listing::Text() const {
    std::string text;
    for (const std::string& line : Lines()) text += line + '\n';
    return text;
}

}  // namespace avs::tool
