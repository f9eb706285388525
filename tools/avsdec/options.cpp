#include "options.h"

#include <charconv>
#include <string_view>

namespace avs::tool {

const char kUsage[] =
    "usage: avsdec INPUT -o OUTPUT [options]\n"
    "\n"
    "Decodes AVS video (INPUT, or - for standard input): an elementary stream, or\n"
    "the video of an MPEG-2 transport stream (.ts) or program stream (.mpg). The\n"
    "content tells which, not the name.\n"
    "\n"
    "  -o, --output FILE  where the pictures go (- for standard output); the\n"
    "                     extension picks the format:\n"
    "                       .y4m  YUV4MPEG2 4:2:0, which players open\n"
    "                       .yuv  raw I420\n"
    "                       .md5  one MD5 per picture, as in the conformance .md5 files\n"
    "                       .raw  raw pictures in the --format layout\n"
    "                       .bmp  one BMP file per picture, numbered: out%04d.bmp\n"
    "                             (a name without %d takes --frames 1)\n"
    "  --muxer NAME       y4m, yuv, md5, raw, bmp, or null (decode only), whatever\n"
    "                     the extension\n"
    "  --format NAME      layout of raw output: yv12 (default), yuy2, uyvy, bgr3, bgr4\n"
    "  --chunk BYTES      feed the input in pieces of BYTES (default 65536)\n"
    "  --frames N         stop after N pictures\n"
    "  --pid PID          the video PID of a transport stream (decimal, or hex as\n"
    "                     0x100) when its programme tables name no AVS video\n"
    "  --threads N        decode each picture on N threads (default: one per\n"
    "                     processor; 1 decodes on the main thread alone)\n"
    "  -h, --help         show this help\n"
    "  --version          show the version\n";

namespace {

template <typename T>
bool ParseCount(std::string_view text, T low, T high, T& value, int base = 10) {
    T v{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, base);
    if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high) return false;
    value = v;
    return true;
}

}  // namespace

std::string ParseOptions(int argc, const char* const* argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view value;
        bool inlineValue = false;
        if (arg.starts_with("--") && arg.find('=') != std::string_view::npos) {
            value = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
            inlineValue = true;
        }
        const auto takesValue = [&](std::string_view name) {
            if (arg != name) return false;
            if (!inlineValue && i + 1 < argc) value = argv[++i], inlineValue = true;
            return true;
        };
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (takesValue("-o") || takesValue("--output") || takesValue("--muxer") ||
                   takesValue("--format") || takesValue("--chunk") || takesValue("--frames") ||
                   takesValue("--pid") || takesValue("--threads")) {
            if (!inlineValue) return std::string(arg) + " needs a value";
            if (arg == "--muxer") {
                options.muxer = value;
            } else if (arg == "--format") {
                options.format = value;
            } else if (arg == "--chunk") {
                if (!ParseCount<size_t>(value, 1, size_t{1} << 26, options.chunk)) {
                    return "--chunk takes a byte count from 1 to 67108864";
                }
            } else if (arg == "--frames") {
                if (!ParseCount<uint32_t>(value, 1, UINT32_MAX, options.frames)) {
                    return "--frames takes a picture count of 1 or more";
                }
            } else if (arg == "--threads") {
                if (!ParseCount<uint32_t>(value, 1, 64, options.threads)) {
                    return "--threads takes a thread count from 1 to 64";
                }
            } else if (arg == "--pid") {
                const bool hex = value.starts_with("0x") || value.starts_with("0X");
                uint32_t pid = 0;
                if (!ParseCount<uint32_t>(hex ? value.substr(2) : value, 0, 0x1FFE, pid,
                                          hex ? 16 : 10)) {
                    return "--pid takes a PID from 0 to 8190 (0x1ffe)";
                }
                options.pid = static_cast<int>(pid);
            } else {
                options.output = value;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + std::string(arg);
        } else if (options.input.empty()) {
            options.input = arg;
        } else {
            return "more than one input: " + options.input + " and " + std::string(arg);
        }
    }
    if (options.help || options.version) return {};
    if (options.input.empty()) return "no input given";
    if (options.output.empty() && options.muxer != "null") {
        return "no output given (-o FILE, or --muxer null)";
    }
    return {};
}

}  // namespace avs::tool
