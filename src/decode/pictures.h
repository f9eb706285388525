// Picture decoding routines: every macroblock of one picture, then the loop filter.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"
#include "bitstream/headers.h"
#include "decode/macroblock.h"
#include "decode/slice.h"
#include "frames/frame.h"

namespace avs {

class RowPipeline;
class WorkerTeam;

// Threads a picture may reconstruct its rows on, beside the one that parses
// it, and what they share.
struct ParallelDecoding {
    WorkerTeam* team;
    RowPipeline* pipeline;
};

// What one picture's decode owns, apart from the stream's headers that it
// reads: the frame it writes, and the slice in force with its running QP;
// and the threads it may use (none: it is decoded on the caller's thread).
struct PictureState {
    PictureState(const StreamHeaders& headers, DecodedFrame& target,
                 const ParallelDecoding* threads = nullptr)
        : sequence(headers.sequence),
          header(headers.picture),
          frame(target),
          slice(headers.picture),
          parallel(threads) {}
    PictureState(const PictureState&) = delete;
    PictureState& operator=(const PictureState&) = delete;

    const SequenceHeader& sequence;
    const PictureHeader& header;
    DecodedFrame& frame;
    SliceState slice;
    const ParallelDecoding* parallel;
};

// The reader stands just behind the picture header. Macroblocks that the
// unit's data does not reach are filled with 128.
void DecodeIPicture(PictureState& pic, BitReader& br);
// refs[k] is reference k (the newest I or P picture before this one, then the
// one before it), null when there is none of this picture's size. Returns
// false when a partition refers to a missing reference (the picture is then
// dropped).
bool DecodePPicture(PictureState& pic, BitReader& br, const DecodedFrame* const (&refs)[2]);
// Both references exist and have the frame's size.
void DecodeBPicture(PictureState& pic, BitReader& br, const DecodedFrame& backward,
                    const DecodedFrame& forward);

}  // namespace avs
