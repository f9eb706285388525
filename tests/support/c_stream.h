// A stream record as a host holds it: opened through the public interface,
// freed the way a host frees it, and asked with 32-bit words.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "avsdec.h"

namespace avs::test {

struct StreamCloser {
    void operator()(AVS_Video_stream* s) const {
        s->Free(s);
        std::free(s);
    }
};
using Stream = std::unique_ptr<AVS_Video_stream, StreamCloser>;

inline Stream OpenStream() {
    return Stream(open_AVS_Video_stream());
}

inline void Request(AVS_Video_stream* s, uint32_t code, const void* argument) {
    s->Control(s, 0, code, reinterpret_cast<uintptr_t>(argument));
}

inline uint32_t Query(AVS_Video_stream* s, uint32_t code) {
    uint32_t v = 0;
    Request(s, code, &v);
    return v;
}

inline bool Delivered(AVS_Video_stream* s) {
    return (s->Control(s, 0, AVS_GetStatusAndDelivery, 0) & AVS_DELIVERED) != 0;
}

}  // namespace avs::test
