#include "fuzz/stream_harness.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "avsdec.h"

namespace avs::fuzz {
namespace {

constexpr uint32_t kPieceSizes[16] = {1,   2,   3,    4,    5,    7,     16,    61,
                                      200, 512, 1500, 4096, 8192, 16384, 32768, 65536};
constexpr uint32_t kFourccs[8] = {AVS_FOURCC_YV12,
                                  AVS_FOURCC_YUY2,
                                  AVS_FOURCC_UYVY,
                                  AVS_FOURCC_BGR3,
                                  AVS_FOURCC_BGR4,
                                  AVS_FOURCC('Y', 'U', 'Y', 'V'),
                                  AVS_FOURCC('G', '5', '6', '5'),
                                  0};
// Buffers are as large as promised, up to this; a request that would need a
// larger one is skipped (taking it would cost more than the rest of an input).
constexpr int64_t kMaxHostBytes = int64_t{4} << 20;
// A plane larger than this is refused by the library: it gets a small buffer,
// so that the sanitizer reports any write into it.
constexpr int64_t kRefusedPlaneBytes = INT32_MAX;

// Host memory from malloc, as a host would have it: not cleared.
struct HostBuffer {
    uint8_t* bytes = nullptr;
    HostBuffer() = default;
    explicit HostBuffer(int64_t n) : bytes(static_cast<uint8_t*>(std::malloc(n > 0 ? n : 1))) {}
    HostBuffer(const HostBuffer&) = delete;
    HostBuffer& operator=(HostBuffer&& other) noexcept {
        std::swap(bytes, other.bytes);
        return *this;
    }
    ~HostBuffer() { std::free(bytes); }
};

void Fail(bool broken) {
    if (broken) std::abort();
}

// Stream bytes from the front, command bytes from the back.
class Input {
  public:
    Input(const uint8_t* data, size_t size) : head_(data), tail_(data + size) {}
    uint8_t Byte() { return tail_ > head_ ? *--tail_ : 0; }
    int32_t Word() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
        return static_cast<int32_t>(v);
    }
    const uint8_t* stream() const { return head_; }
    size_t streamBytes() const { return static_cast<size_t>(tail_ - head_); }
    void Take(size_t n) { head_ += n; }

  private:
    const uint8_t* head_;
    const uint8_t* tail_;
};

class Session {
  public:
    explicit Session(Input& in) : in_(in), s_(open_AVS_Video_stream()) {}
    ~Session() {
        if (s_ == nullptr) return;
        s_->Free(s_);
        std::free(s_);
    }
    bool ok() const { return s_ != nullptr; }

    void Run() {
        while (in_.streamBytes() > 0 && deliveries_ < kMaxDeliveries) {
            const uint8_t command = in_.Byte();
            Request(command & 7);
            Feed(kPieceSizes[(command >> 3) & 15], (command & 0x80) != 0);
        }
        s_->Feed(s_, nullptr, 0);
        if (Delivered()) ConvertToBuffer();
    }

  private:
    uint32_t Control(uint32_t code, const void* argument) {
        return s_->Control(s_, 0, code, reinterpret_cast<uintptr_t>(argument));
    }
    bool Delivered() { return (Control(AVS_GetStatusAndDelivery, nullptr) & AVS_DELIVERED) != 0; }
    AVS_SequenceInfo Sequence() {
        AVS_SequenceInfo info{};
        Control(AVS_GetSequenceInfo, &info);
        return info;
    }

    void Feed(uint32_t piece, bool convert) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(piece, in_.streamBytes()));
        const uint32_t taken = s_->Feed(s_, in_.stream(), n);
        Fail(taken > n && taken != 0xFFFFFFFFu);
        // Bytes not taken are offered again with the next piece; a piece
        // that takes nothing and never will is dropped.
        in_.Take(taken == 0 || taken > n ? n : taken);
        char text[64];
        std::memset(text, 0, sizeof text);
        Control(AVS_GetStatusText, text);
        Fail(std::strlen(text) >= 35);
        // A picture left waiting counts again after the next piece; that
        // only ends the input sooner.
        if (!Delivered()) return;
        ++deliveries_;
        if (convert) ConvertToBuffer();
    }

    void Request(int request) {
        switch (request) {
            case 1: {
                const uint32_t fourcc = kFourccs[in_.Byte() % 8];
                Control(AVS_SetOutputFourcc, &fourcc);
                break;
            }
            case 2: {
                const int32_t pitch = Pitch(in_.Byte());
                Control(AVS_SetOutputPitch, &pitch);
                break;
            }
            case 3: {
                // The documented size: two bytes per sample of the current sequence.
                const AVS_SequenceInfo seq = Sequence();
                const size_t bytes = size_t{seq.horizontal_size} * seq.vertical_size * 2;
                Control(AVS_SetPictureBuffer, std::malloc(bytes != 0 ? bytes : 1));
                break;
            }
            case 4:
                ConvertToBuffer();
                break;
            case 5:
                ConvertToDescriptor();
                break;
            case 6: {
                // A reset, and from the next picture on 1, 2 or 3 decoding threads.
                Control(AVS_ResetDecoder, nullptr);
                const uint32_t threads = 1 + in_.Byte() % 3;
                Control(AVS_SetDecodingThreads, &threads);
                break;
            }
            case 7:
                s_->Feed(s_, nullptr, 0);
                break;
            default:
                break;
        }
    }

    // Pitches a host might set: the defaults of every layout, both signs,
    // padded ones, ones too small for a row and absurd ones.
    int32_t Pitch(uint8_t choice) {
        const auto w = static_cast<int32_t>(Sequence().horizontal_size);
        switch (choice % 12) {
            case 0:
                return 0;
            case 1:
                return w;
            case 2:
                return 2 * w;
            case 3:
                return -3 * w;
            case 4:
                return 4 * w;
            case 5:
                return -4 * w - 64;
            case 6:
                return 3 * w + (choice >> 4);
            case 7:
                return 1;
            case 8:
                return -w + 1;
            case 9:
                return INT32_MAX;
            case 10:
                return INT32_MIN;
            default:
                return in_.Word();
        }
    }

    void ConvertToBuffer() {
        uint32_t size = 0;
        Control(AVS_GetFrameSize, &size);
        if (size > kMaxHostBytes) return;
        const HostBuffer out(size);
        Control(AVS_ConvertPicture, out.bytes);
    }

    // A descriptor whose every field comes from the input; its planes are as
    // large as the descriptor says.
    void ConvertToDescriptor() {
        const AVS_SequenceInfo seq = Sequence();
        const uint8_t shape = in_.Byte();
        const uint8_t flaws = in_.Byte();
        OutputPicture out{};
        out.fourcc = kFourccs[shape % 8];
        out.width = seq.horizontal_size + ((shape >> 3) & 3) - 2;  // 2 fewer ... 1 more
        out.height = seq.vertical_size + ((shape >> 5) & 3) - 2;
        const bool bgr = out.fourcc == AVS_FOURCC_BGR3 || out.fourcc == AVS_FOURCC_BGR4;
        const int planesUsed = out.fourcc == AVS_FOURCC_YV12 ? 3 : 1;
        HostBuffer planes[3];
        for (int k = 0; k < planesUsed; ++k) {
            // No real picture has 2^16 rows; more would only overflow the sums here.
            const auto rows = static_cast<int64_t>(
                std::min<uintptr_t>(k == 0 ? out.height : out.height / 2, 1 << 16));
            const int32_t pitch = k == 0 ? Pitch(in_.Byte()) : Pitch(in_.Byte()) / 2;
            const int64_t magnitude = pitch < 0 ? -int64_t{pitch} : pitch;
            const int64_t claimed = magnitude * rows;
            const bool refused = claimed > kRefusedPlaneBytes;
            if (claimed > kMaxHostBytes && !refused) return;
            planes[k] = HostBuffer(refused ? 64 : claimed);
            out.pitch[k] = pitch;
            // Rows that go upward start at the last row in memory (BGR always
            // starts at the lowest address and picks its direction).
            const bool upward = pitch < 0 && !bgr && !refused && rows > 0;
            out.plane[k] = planes[k].bytes + (upward ? magnitude * (rows - 1) : 0);
            if ((flaws >> (2 * k) & 3) == 3) out.plane[k] = nullptr;
        }
        Control(AVS_ConvertPictureTo, &out);
    }

    Input& in_;
    AVS_Video_stream* s_;
    int deliveries_ = 0;
};

// The 14-bit size fields after a sequence header start code, with the
// missing bytes of a cut header read as zeros, as the decoder reads them.
uint32_t AnnouncedArea(const uint8_t* fields, size_t available) {
    uint8_t b[6] = {};
    std::memcpy(b, fields, std::min<size_t>(available, sizeof b));
    // profile_id (8), level_id (8), progressive_sequence (1), then the sizes.
    const uint64_t bits = uint64_t{b[2]} << 24 | uint64_t{b[3]} << 16 | b[4] << 8 | b[5];
    const auto width = static_cast<uint32_t>(bits >> 17 & 0x3FFF);
    const auto height = static_cast<uint32_t>(bits >> 3 & 0x3FFF);
    return width * height;
}

}  // namespace

bool PictureSizesWithinLimit(const uint8_t* data, size_t size) {
    for (size_t i = 0; i + 4 <= size; ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && data[i + 3] == 0xB0 &&
            AnnouncedArea(data + i + 4, size - i - 4) > kMaxPictureArea) {
            return false;
        }
    }
    return true;
}

void RunStreamInput(const uint8_t* data, size_t size) {
    if (!PictureSizesWithinLimit(data, size)) return;
    Input in(data, size);
    Session session(in);
    if (session.ok()) session.Run();
}

}  // namespace avs::fuzz
