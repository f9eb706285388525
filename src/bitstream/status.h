// The status word and text that tell the host what the stream's last event
// was. The input scan and the decode driver write them; the host reads them.
#pragma once

#include <cstdint>
#include <cstring>

namespace avs {

// Status words (the public header has the same values for hosts).
inline constexpr uint32_t kStatusIdle = 0;
inline constexpr uint32_t kStatusHeaderRead = 1;
inline constexpr uint32_t kStatusUnitHeld = 2;
inline constexpr uint32_t kStatusSequenceEnd = 4;
inline constexpr uint32_t kStatusNeedData = 8;
inline constexpr uint32_t kStatusBPicture = 32;
inline constexpr uint32_t kStatusNoSequence = 64;
inline constexpr uint32_t kStatusBadStartCode = 0x10000000;

struct StreamStatus {
    uint32_t word = kStatusIdle;
    char text[256] = {};

    // Copies `message` with its terminating zero (cut to fit the text).
    void SetText(const char* message) {
        const size_t n = strnlen(message, sizeof text - 1);
        std::memcpy(text, message, n);
        text[n] = '\0';
    }
    void Set(uint32_t newWord, const char* message) {
        word = newWord;
        SetText(message);
    }
};

}  // namespace avs
