// The decode driver: one complete unit becomes stream state or a picture.
#pragma once

#include <cstdint>
#include <memory>

#include "avsdec.h"
#include "bitstream/headers.h"
#include "bitstream/status.h"
#include "convert/output_layout.h"
#include "decode/row_pipeline.h"
#include "frames/frame_store.h"
#include "platform/worker_team.h"

namespace avs {

// Decode results: the kind of unit, OR kDelivered when a picture was delivered.
inline constexpr int32_t kResultNothing = 0;
inline constexpr int32_t kResultSequenceEnd = 1;
inline constexpr int32_t kResultIPicture = 2;
inline constexpr int32_t kResultPPicture = 3;
inline constexpr int32_t kResultBPicture = 4;
inline constexpr int32_t kResultNoMemory = -1;
// The delivery flag: a picture was delivered.
inline constexpr uint32_t kDelivered = AVS_DELIVERED;

// What the driver keeps from one unit to the next.
struct DecodingState {
    StreamHeaders headers;
    FrameStore frames;
    // The layout the host converts to, and the host's pitch for conversions
    // into one buffer (0: the current layout's default for the width).
    uint32_t outputFourcc = kFourccYV12;
    int32_t convertPitch = 0;
    uint32_t deliveryFlag = 0;  // kDelivered from a delivery until the host fetches the picture
    // A sequence end flushed the queue; the next sequence header empties it.
    bool queueFlushed = false;

    // Threads a picture is decoded on (0 and 1: the caller's alone), the
    // workers beside the caller's thread, started with the first picture
    // that uses them, and what they share.
    uint32_t threads = 1;
    std::unique_ptr<WorkerTeam> team;
    RowPipeline pipeline;
};

// The most decoding threads a stream uses.
inline constexpr uint32_t kMaxDecodingThreads = 64;

// Decodes `unit` (length bytes, followed by kUnitPadding writable bytes that
// the driver zeroes before reading) and delivers into state.frames.picture.
// kResultNoMemory means the unit should be decoded again later.
int32_t DecodeUnit(DecodingState& state, StreamStatus& status, uint8_t* unit, uint32_t length);

}  // namespace avs
