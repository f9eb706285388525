// The status word and text that tell the host what the stream's last event
// was. The input scan and the decode driver write them; the host reads them.
#pragma once

#include <cstdint>
#include <cstring>

#include "avsdec.h"

namespace avs {

// Status words, as hosts know them.
inline constexpr uint32_t kStatusIdle = AVS_STATUS_IDLE;
inline constexpr uint32_t kStatusHeaderRead = AVS_STATUS_HEADER_READ;
inline constexpr uint32_t kStatusUnitHeld = AVS_STATUS_UNIT_HELD;
inline constexpr uint32_t kStatusSequenceEnd = AVS_STATUS_SEQUENCE_END;
inline constexpr uint32_t kStatusNeedData = AVS_STATUS_NEED_DATA;
inline constexpr uint32_t kStatusBPicture = AVS_STATUS_B_PICTURE;
inline constexpr uint32_t kStatusNoSequence = AVS_STATUS_NO_SEQUENCE;
inline constexpr uint32_t kStatusBadStartCode = AVS_STATUS_BAD_START_CODE;

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
