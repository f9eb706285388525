// Telling the three input formats apart by their first bytes.
#include "input.h"
#include "input_demux.h"

namespace avs::tool {
namespace {

// Sync bytes one packet apart, from some offset within the first packet (a
// recording may start inside one). A lone packet counts only when the input
// starts with it, so that short streams of other kinds are not taken for one.
bool HoldsTransportPackets(std::span<const uint8_t> head) {
    constexpr size_t kChecked = 8;
    for (size_t first = 0; first < kTsPacket && first < head.size(); ++first) {
        size_t seen = 0;
        for (size_t at = first; at < head.size() && seen < kChecked; at += kTsPacket, ++seen) {
            if (head[at] != kTsSync) break;
        }
        const bool allSeen = seen == kChecked || first + seen * kTsPacket >= head.size();
        if (allSeen && (seen >= 2 || (first == 0 && head.size() >= kTsPacket))) return true;
    }
    return false;
}

// The first start code that is not a slice's decides: a picture or sequence
// code is an elementary stream (a stream cut inside a picture starts with
// slices), a pack, system header or PES packet a program stream.
InputFormat FromFirstStartCode(std::span<const uint8_t> head) {
    uint32_t last = 0xFFFFFFFF;
    for (size_t i = 0; i < head.size(); ++i) {
        last = last << 8 | head[i];
        if ((last >> 8) != 1 || head[i] <= 0xAF) continue;
        const uint8_t value = head[i];
        if (value == 0xBA) {
            // Only the MPEG-2 pack header: '01' where MPEG-1 has '0010'.
            return i + 1 < head.size() && (head[i + 1] & 0xC0) == 0x40 ? InputFormat::Program
                                                                       : InputFormat::Unknown;
        }
        if (value >= 0xBB) return InputFormat::Program;
        if (value == 0xB4 || value >= 0xB8) return InputFormat::Unknown;
        return InputFormat::Elementary;
    }
    return InputFormat::Unknown;
}

}  // namespace

InputFormat DetectFormat(std::span<const uint8_t> head) {
    size_t zeros = 0;
    while (zeros < head.size() && head[zeros] == 0) ++zeros;
    const bool startsWithStartCode = zeros >= 2 && zeros < head.size() && head[zeros] == 1;
    if (!startsWithStartCode && HoldsTransportPackets(head)) return InputFormat::Transport;
    return FromFirstStartCode(head);
}

}  // namespace avs::tool
