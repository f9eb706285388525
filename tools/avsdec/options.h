// The command line of avsdec.
#pragma once

#include <cstdint>
#include <string>

namespace avs::tool {

struct Options {
    std::string input;   // a file, or "-" for standard input
    std::string output;  // "-" is standard output
    std::string muxer;   // empty: chosen by the output's extension
    std::string format;  // raw output layout; empty: yv12
    size_t chunk = 65536;
    uint32_t frames = 0;   // 0: every picture
    int pid = -1;          // a transport stream's video PID; -1: from its programme tables
    uint32_t threads = 0;  // decoding threads; 0: one per processor
    bool help = false;
    bool version = false;
};

extern const char kUsage[];

// Fills `options`; returns an error message, empty when the line is valid.
std::string ParseOptions(int argc, const char* const* argv, Options& options);

}  // namespace avs::tool
