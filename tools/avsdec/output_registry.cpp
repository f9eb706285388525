#include <algorithm>
#include <array>
#include <cctype>

#include "output.h"

namespace avs::tool {
namespace {

constexpr std::array kMuxers = {
    MuxerEntry{"y4m", ".y4m", CreateY4mMuxer}, MuxerEntry{"yuv", ".yuv", CreateYuvMuxer},
    MuxerEntry{"md5", ".md5", CreateMd5Muxer}, MuxerEntry{"null", nullptr, CreateNullMuxer},
    MuxerEntry{"raw", ".raw", CreateRawMuxer}, MuxerEntry{"bmp", ".bmp", CreateBmpMuxer},
};

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(), text.end() - suffix.size(),
                      [](char a, char b) { return std::tolower(a) == std::tolower(b); });
}

}  // namespace

std::span<const MuxerEntry> Muxers() {
    return kMuxers;
}

const MuxerEntry* FindMuxer(std::string_view name) {
    for (const MuxerEntry& m : kMuxers) {
        if (name == m.name) return &m;
    }
    return nullptr;
}

const MuxerEntry* MuxerForPath(std::string_view path) {
    for (const MuxerEntry& m : kMuxers) {
        if (m.extension != nullptr && EndsWithNoCase(path, m.extension)) return &m;
    }
    return nullptr;
}

}  // namespace avs::tool
