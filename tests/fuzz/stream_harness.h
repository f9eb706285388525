// One fuzz input through the public interface, shared by the libFuzzer target
// and by the test that replays the corpus and the inputs that once found a
// fault (tests/fuzz/corpus, tests/fuzz/regressions).
//
// An input is read from both ends: stream bytes from the front, and from the
// back one command byte per piece (with its arguments). A command byte:
//   bits 0-2  a request before the piece: 0 none, 1 set the layout, 2 set the
//             pitch, 3 hand over a picture buffer of the documented size,
//             4 convert into a buffer of AVS_GetFrameSize bytes, 5 convert
//             into a descriptor whose fields come from the input, 6 reset
//             and set 1 to 3 decoding threads (from the next byte),
//             7 end of stream (feeding goes on afterwards)
//   bits 3-6  the piece length, one of 16 sizes from 1 byte to 64 KB
//   bit 7     convert the picture when the piece delivered one
// When the back runs into the front, commands read as 0 and the rest of the
// stream is fed in pieces of 1 byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace avs::fuzz {

// Pictures above this many samples are not decoded: each would cost more
// than a whole input should, and they hold nothing that small ones do not.
inline constexpr uint32_t kMaxPictureArea = 256 * 256;
// Feeding ends after this many pieces that leave a picture delivered: a
// longer run of pictures only repeats the states of the reference queue
// that a short one reaches.
inline constexpr int kMaxDeliveries = 16;

// Whether every sequence header in the input announces a picture of at most
// kMaxPictureArea samples. Inputs that fail are skipped.
bool PictureSizesWithinLimit(const uint8_t* data, size_t size);

// Decodes the input with the requests it asks for. Aborts (so that the fuzzer
// and the test report it) when the library breaks a promise that the
// sanitizers cannot see.
void RunStreamInput(const uint8_t* data, size_t size);

}  // namespace avs::fuzz
