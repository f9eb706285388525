// Output modules: each has a name, a file extension and open / write
// picture / close. Adding a format is adding a module file and one line in
// the registry (output_registry.cpp).
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "host_decoder.h"

namespace avs::tool {

struct MuxerSettings {
    uint32_t rawFourcc;  // the raw module's layout (--format)
    uint32_t frames;     // the most pictures the run writes (--frames); 0: no limit
};

class Muxer {
  public:
    virtual ~Muxer() = default;
    // What the module needs from the decoder: planar I420 unless it says otherwise.
    virtual PictureRequest Request() const { return {}; }
    // Creates the output, or checks that it can be created. `path` "-" is
    // standard output where the module writes one stream.
    virtual bool Open(const std::string& path) = 0;
    virtual bool Write(const Picture& picture) = 0;
    virtual bool Close() = 0;
    // The run failed before the first picture: removes what Open created.
    virtual void Discard() {}
    // Why the last call failed (names the file).
    const std::string& Error() const { return error_; }

  protected:
    std::string error_;
};

struct MuxerEntry {
    const char* name;
    const char* extension;  // ".y4m"; nullptr when only chosen by name
    std::unique_ptr<Muxer> (*create)(const MuxerSettings& settings);
};

std::span<const MuxerEntry> Muxers();
const MuxerEntry* FindMuxer(std::string_view name);
// The module whose extension ends `path` (case-insensitive); nullptr if none.
const MuxerEntry* MuxerForPath(std::string_view path);

// The modules.
std::unique_ptr<Muxer> CreateY4mMuxer(const MuxerSettings& settings);
std::unique_ptr<Muxer> CreateYuvMuxer(const MuxerSettings& settings);
std::unique_ptr<Muxer> CreateMd5Muxer(const MuxerSettings& settings);
std::unique_ptr<Muxer> CreateNullMuxer(const MuxerSettings& settings);
std::unique_ptr<Muxer> CreateRawMuxer(const MuxerSettings& settings);
std::unique_ptr<Muxer> CreateBmpMuxer(const MuxerSettings& settings);

// --format names of the raw module: yv12, yuy2, uyvy, bgr3, bgr4. 0 if unknown.
uint32_t RawFormatFourcc(std::string_view name);

}  // namespace avs::tool
