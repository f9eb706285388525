// Fuzz target: any bytes, fed through the public interface in pieces whose
// sizes come from the input itself, with every delivered picture fetched in
// a layout that also comes from the input. Build with -DAVSDEC_FUZZ=ON
// (clang): the library is instrumented with AddressSanitizer and
// UndefinedBehaviorSanitizer, so any out-of-bounds access, leak or undefined
// operation stops the run.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "avsdec.h"

namespace {

constexpr uint32_t kFourccs[] = {AVS_FOURCC_YV12, AVS_FOURCC_YUY2, AVS_FOURCC_UYVY, AVS_FOURCC_BGR3,
                                 AVS_FOURCC_BGR4};

void Fetch(AVS_Video_stream* s, std::vector<uint8_t>& picture) {
    if (!(s->Control(s, 0, AVS_GetStatusAndDelivery, 0) & AVS_DELIVERED)) return;
    uint32_t bytes = 0;
    s->Control(s, 0, AVS_GetFrameSize, reinterpret_cast<uintptr_t>(&bytes));
    picture.assign(bytes, 0);
    s->Control(s, 0, AVS_ConvertPicture, reinterpret_cast<uintptr_t>(picture.data()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint32_t fourcc = kFourccs[data[0] % 5];
    const uint32_t piece = 1u + data[1] * 37u;
    data += 2;
    size -= 2;

    AVS_Video_stream* s = open_AVS_Video_stream();
    if (s == nullptr) return 0;
    s->Control(s, 0, AVS_SetOutputFourcc, reinterpret_cast<uintptr_t>(&fourcc));
    std::vector<uint8_t> picture;
    size_t at = 0;
    int stalls = 0;
    while (at < size && stalls < 2) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(piece, size - at));
        const uint32_t taken = s->Feed(s, data + at, n);
        Fetch(s, picture);
        if (taken == 0 || taken > n) {
            ++stalls;  // a unit that never completes: give up on the rest
            continue;
        }
        stalls = 0;
        at += taken;
    }
    s->Feed(s, nullptr, 0);
    Fetch(s, picture);
    s->Free(s);
    std::free(s);
    return 0;
}
