// One 24-bit BMP file per picture, named by a pattern such as out%04d.bmp.
// A bottom-up BMP is exactly the library's "BGR3" layout with a positive
// pitch (rows padded to four bytes), so the fetched bytes are the pixel data.
#include <array>
#include <optional>

#include "output.h"
#include "output_file.h"

namespace avs::tool {
namespace {

// A file name with at most one picture number: "%d", "%4d" or "%04d"; "%%"
// stands for "%".
struct NamePattern {
    std::string prefix, suffix;
    int width = 0;
    bool zeroPad = false;
    bool numbered = false;

    static std::optional<NamePattern> Parse(const std::string& text) {
        NamePattern p;
        std::string* out = &p.prefix;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '%') {
                *out += text[i];
            } else if (i + 1 < text.size() && text[i + 1] == '%') {
                *out += '%';
                ++i;
            } else {
                if (p.numbered) return std::nullopt;
                size_t j = i + 1;
                p.zeroPad = j < text.size() && text[j] == '0';
                while (j < text.size() && text[j] >= '0' && text[j] <= '9' && p.width < 100) {
                    p.width = p.width * 10 + (text[j++] - '0');
                }
                if (j >= text.size() || text[j] != 'd') return std::nullopt;
                p.numbered = true;
                out = &p.suffix;
                i = j;
            }
        }
        return p;
    }

    std::string Name(uint32_t index) const {
        if (!numbered) return prefix;
        std::string number = std::to_string(index);
        if (number.size() < static_cast<size_t>(width)) {
            number.insert(0, static_cast<size_t>(width) - number.size(), zeroPad ? '0' : ' ');
        }
        return prefix + number + suffix;
    }
};

void Put16(uint8_t*& p, uint32_t v) {
    for (int i = 0; i < 2; ++i) *p++ = static_cast<uint8_t>(v >> (8 * i));
}
void Put32(uint8_t*& p, uint32_t v) {
    for (int i = 0; i < 4; ++i) *p++ = static_cast<uint8_t>(v >> (8 * i));
}

class BmpMuxer final : public Muxer {
  public:
    explicit BmpMuxer(uint32_t frames) : frames_(frames) {}

    PictureRequest Request() const override {
        return {AVS_FOURCC_BGR3,
                [](uint32_t w) { return static_cast<int32_t>((3 * w + 3) & ~3u); }};
    }

    bool Open(const std::string& path) override {
        auto pattern = NamePattern::Parse(path);
        if (!pattern || path == "-") {
            error_ = "'" + path + "' is not a BMP file name (use a name such as out%04d.bmp)";
            return false;
        }
        // A stream's picture count shows only while decoding: refuse now
        // what could not be finished then.
        if (!pattern->numbered && frames_ != 1) {
            error_ = "'" + path +
                     "' holds one picture: number the files with %d, as in out%04d.bmp (or "
                     "add --frames 1)";
            return false;
        }
        pattern_ = *pattern;
        return true;
    }

    bool Write(const Picture& p) override {
        const std::string name = pattern_.Name(p.index);
        std::array<uint8_t, 54> header{};
        uint8_t* h = header.data();
        const auto imageBytes = static_cast<uint32_t>(p.bytes.size());
        *h++ = 'B';
        *h++ = 'M';
        Put32(h, static_cast<uint32_t>(header.size()) + imageBytes);
        Put32(h, 0);
        Put32(h, static_cast<uint32_t>(header.size()));
        Put32(h, 40);       // info header size
        Put32(h, p.width);  // positive height: rows bottom-up
        Put32(h, p.height);
        Put16(h, 1);   // planes
        Put16(h, 24);  // bits per pixel
        Put32(h, 0);   // no compression
        Put32(h, imageBytes);
        Put32(h, 2835);  // 72 dpi
        Put32(h, 2835);
        OutputFile file;
        if (!file.Open(name) || !file.Write(header) || !file.Write(p.bytes) || !file.Close()) {
            error_ = file.Error();
            return false;
        }
        return true;
    }

    bool Close() override { return true; }

  private:
    uint32_t frames_;
    NamePattern pattern_;
};

}  // namespace

std::unique_ptr<Muxer> CreateBmpMuxer(const MuxerSettings& settings) {
    return std::make_unique<BmpMuxer>(settings.frames);
}

}  // namespace avs::tool
