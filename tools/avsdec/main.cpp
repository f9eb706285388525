// avsdec: decodes AVS video to pictures, through the library's public C
// interface only, as any host does. The input modules take the video out of
// its container, if it has one.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "host_decoder.h"
#include "input.h"
#include "options.h"
#include "output.h"

namespace avs::tool {
namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "avsdec: %s\n", message.c_str());
    return 1;
}

// A picture count on standard error, only when a person is watching it.
class Progress {
  public:
    Progress() : enabled_(isatty(STDERR_FILENO) != 0) {}
    void Picture(uint32_t count) {
        if (!enabled_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(200)) return;
        last_ = now;
        std::fprintf(stderr, "\r%u pictures", count);
    }
    void Clear() {
        if (enabled_ && last_ != std::chrono::steady_clock::time_point{}) {
            std::fprintf(stderr, "\r                    \r");
        }
    }

  private:
    bool enabled_;
    std::chrono::steady_clock::time_point last_{};
};

// One thread per processor unless the command line says otherwise.
uint32_t DecodingThreads(const Options& options) {
    if (options.threads != 0) return options.threads;
    const unsigned processors = std::thread::hardware_concurrency();
    return processors == 0 ? 1 : processors;  // the library bounds the count
}

int Run(const Options& options) {
    const MuxerEntry* entry =
        options.muxer.empty() ? MuxerForPath(options.output) : FindMuxer(options.muxer);
    if (entry == nullptr) {
        return Fail(options.muxer.empty() ? "cannot tell the format of '" + options.output +
                                                "' from its extension (use --muxer)"
                                          : "unknown muxer '" + options.muxer + "'");
    }
    MuxerSettings settings{AVS_FOURCC_YV12, options.frames};
    if (!options.format.empty()) {
        settings.rawFourcc = RawFormatFourcc(options.format);
        if (settings.rawFourcc == 0) return Fail("unknown --format '" + options.format + "'");
        if (std::string_view(entry->name) != "raw") {
            return Fail("--format applies to raw output (.raw or --muxer raw)");
        }
    }

    std::string error;
    std::unique_ptr<Input> input = OpenInput(options.input, options.pid, &error);
    if (input == nullptr) return Fail(error);
    std::unique_ptr<Muxer> muxer = entry->create(settings);

    Progress progress;
    bool writeFailed = false;
    uint32_t width = 0, height = 0;
    HostDecoder decoder(
        muxer->Request(),
        [&](const Picture& picture) {
            if (!muxer->Write(picture)) {
                writeFailed = true;
                return false;
            }
            width = picture.width;
            height = picture.height;
            progress.Picture(picture.index + 1);
            return options.frames == 0 || picture.index + 1 < options.frames;
        },
        DecodingThreads(options));
    if (!decoder.Ok()) return Fail("the decoder could not be created");
    if (!muxer->Open(options.output)) return Fail(muxer->Error());

    const auto start = std::chrono::steady_clock::now();
    std::vector<uint8_t> chunk(options.chunk);
    bool warned = false;
    while (!decoder.Stopped()) {
        const size_t n = input->Read(chunk);
        if (!warned && !input->Warning().empty()) {
            progress.Clear();
            std::fprintf(stderr, "avsdec: warning: %s\n", input->Warning().c_str());
            warned = true;
        }
        if (n == 0) break;
        decoder.Push({chunk.data(), n});
    }
    // After a read error the stream stops wherever the error hit it.
    decoder.Finish(input->Error().empty() && input->EndsAtUnitEnd());
    progress.Clear();
    if (writeFailed) return Fail(muxer->Error());
    if (decoder.Pictures() == 0) {
        muxer->Discard();  // no empty file behind a run that gave nothing
        if (!input->Error().empty()) return Fail(input->Error());
        return Fail(decoder.Sequence().profile_id == 0
                        ? "no sequence header in '" + options.input + "'"
                        : "no picture could be decoded from '" + options.input + "'");
    }
    if (!muxer->Close()) return Fail(muxer->Error());
    if (!input->Error().empty()) return Fail(input->Error());

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (decoder.Resets() > 0) {
        std::fprintf(stderr,
                     "avsdec: %u times the decoder could take no more input and was reset\n",
                     decoder.Resets());
    }
    std::fprintf(stderr, "avsdec: %u pictures, %ux%u, %.3f s, %.1f pictures/s\n",
                 decoder.Pictures(), width, height, seconds,
                 seconds > 0 ? decoder.Pictures() / seconds : 0.0);
    return 0;
}

}  // namespace
}  // namespace avs::tool

int main(int argc, char** argv) {
    using namespace avs::tool;
    Options options;
    const std::string error = ParseOptions(argc, argv, options);
    if (!error.empty()) return Fail(error + " (avsdec --help lists the options)");
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("avsdec %s\n", AVSDEC_VERSION);
        return 0;
    }
    return Run(options);
}
