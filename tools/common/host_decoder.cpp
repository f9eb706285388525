#include "host_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace avs::tool {
namespace {

constexpr uint32_t kSequenceHeader = 0x000001B0;
constexpr uint32_t kSequenceEnd = 0x000001B1;
constexpr uint32_t kIPicture = 0x000001B3;
constexpr uint32_t kPbPicture = 0x000001B6;
constexpr uint8_t kSequenceEndBytes[] = {0x00, 0x00, 0x01, 0xB1};
constexpr uint32_t kNoBytes = 0xFFFFFFFF;  // a tail that holds no start code

uintptr_t Address(const void* p) {
    return reinterpret_cast<uintptr_t>(p);
}

}  // namespace

HostDecoder::HostDecoder(PictureRequest request, Sink sink, uint32_t threads)
    : stream_(open_AVS_Video_stream()),
      request_(request),
      sink_(std::move(sink)),
      inputTail_(kNoBytes),
      takenTail_(kNoBytes) {
    picture_.reserve(64);  // conversions always get a real address
    if (stream_ != nullptr) Control(AVS_SetDecodingThreads, Address(&threads));
}

HostDecoder::~HostDecoder() {
    if (stream_ == nullptr) return;
    // Teardown releases the decoder but leaves the record, which comes from
    // the ordinary heap, to the host.
    stream_->Free(stream_);
    std::free(stream_);
}

uint32_t HostDecoder::Control(uint32_t code, uintptr_t argument) const {
    return stream_->Control(stream_, 0, code, argument);
}

AVS_SequenceInfo HostDecoder::Sequence() const {
    AVS_SequenceInfo info{};
    if (stream_ != nullptr) Control(AVS_GetSequenceInfo, Address(&info));
    return info;
}

bool HostDecoder::Push(std::span<const uint8_t> bytes) {
    if (stopped_ || stream_ == nullptr) return false;
    for (uint8_t b : bytes.last(std::min<size_t>(bytes.size(), 4)))
        inputTail_ = inputTail_ << 8 | b;
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    FeedPending();
    return !stopped_;
}

void HostDecoder::FeedPending() {
    size_t offset = 0;
    int idle = 0;
    while (!stopped_ && offset < pending_.size()) {
        const size_t left = pending_.size() - offset;
        const auto length = static_cast<uint32_t>(std::min<size_t>(left, 0x40000000));
        uint32_t taken = stream_->Feed(stream_, pending_.data() + offset, length);
        taken = taken == 0xFFFFFFFF ? 0 : std::min(taken, length);
        Taken({pending_.data() + offset, taken});
        offset += taken;
        const bool delivered = CheckDelivery(false);
        if (taken > 0 || delivered) {
            idle = 0;
            continue;
        }
        if (left < 4) break;  // too short to scan: the rest comes with the next piece
        // Nothing taken twice in a row from four or more bytes: the library is
        // holding a unit it can never finish (longer than its input buffer,
        // or one it has no memory for). Deliver what it has, drop the held
        // bytes and go on with the rest of the input.
        if (++idle < 2) continue;
        stream_->Feed(stream_, nullptr, 0);
        CheckDelivery(true);
        Control(AVS_ResetDecoder, 0);
        takenTail_ = kNoBytes;
        pictureOpen_ = false;
        ++resets_;
        idle = 0;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(offset));
}

// Watches the start codes the library has taken: which unit delivered a
// picture, and whether a picture unit came since the last flush. A picture
// unit counts once the next unit's start code shows it whole; one still open
// at the end of a cut input is never decoded.
void HostDecoder::Taken(std::span<const uint8_t> bytes) {
    const auto see = [this](uint32_t code) {
        const bool picture = code == kIPicture || code == kPbPicture;
        if (picture || code == kSequenceHeader || code == kSequenceEnd) {
            pictureSinceFlush_ |= pictureOpen_;
            pictureOpen_ = picture;
        }
    };
    // Start codes that begin in earlier bytes end within the first three.
    const size_t n = bytes.size();
    const uint8_t* d = bytes.data();
    size_t i = 0;
    for (; i < n && i < 3; ++i) see(takenTail_ = takenTail_ << 8 | d[i]);
    if (i == n) return;
    // The rest only where a 00 00 01 prefix lies wholly in these bytes: a
    // picture's hundreds of kilobytes are looked at by memchr, not byte by byte.
    for (size_t one = 2; one + 1 < n;) {
        const auto* hit = static_cast<const uint8_t*>(std::memchr(d + one, 1, n - 1 - one));
        if (hit == nullptr) break;
        one = static_cast<size_t>(hit - d);
        if (d[one - 1] == 0 && d[one - 2] == 0) see(0x100u | d[one + 1]);
        ++one;
    }
    takenTail_ =
        uint32_t{d[n - 4]} << 24 | uint32_t{d[n - 3]} << 16 | uint32_t{d[n - 2]} << 8 | d[n - 1];
}

void HostDecoder::Finish(bool unitEndKnown) {
    if (stopped_ || stream_ == nullptr) return;
    if (unitEndKnown && inputTail_ != kSequenceEnd) Push(kSequenceEndBytes);
    if (stopped_) return;
    pending_.clear();  // at most three bytes that hold no unit
    stream_->Feed(stream_, nullptr, 0);
    CheckDelivery(true);
}

// A sequence end (in the stream, or the end-of-stream call) delivers the
// newest reference picture whether or not it was delivered before. When no
// picture unit was taken since the previous such flush, the queue is as that
// flush left it, so the picture is the one already handed on: it is fetched
// (which clears the delivery flag) but not handed on again.
bool HostDecoder::CheckDelivery(bool endOfStream) {
    if ((Control(AVS_GetStatusAndDelivery, 0) & AVS_DELIVERED) == 0) return false;
    const bool flush = endOfStream || takenTail_ == kSequenceEnd;
    const bool repeat = flush && !pictureSinceFlush_;
    if (flush) pictureSinceFlush_ = false;
    Picture picture{};
    Fetch(picture);
    if (repeat || stopped_) return true;
    picture.index = pictures_++;
    if (!sink_(picture)) stopped_ = true;
    return true;
}

void HostDecoder::Fetch(Picture& picture) {
    picture.sequence = Sequence();
    const size_t width = picture.width = picture.sequence.horizontal_size;
    const size_t height = picture.height = picture.sequence.vertical_size;
    if (request_.fourcc == 0) {
        const size_t luma = width * height;
        const size_t chroma = (width / 2) * (height / 2);
        picture_.resize(luma + 2 * chroma);
        uint8_t* const y = picture_.data();
        OutputPicture out{};
        out.width = width;
        out.height = height;
        out.fourcc = AVS_FOURCC_YV12;
        out.plane[0] = y;
        out.plane[1] = y + luma + chroma;  // V = Cr
        out.plane[2] = y + luma;           // U = Cb
        out.pitch[0] = static_cast<intptr_t>(width);
        out.pitch[1] = out.pitch[2] = static_cast<intptr_t>(width / 2);
        Control(AVS_ConvertPictureTo, Address(&out));
        picture.y = {y, luma};
        picture.cb = {y + luma, chroma};
        picture.cr = {y + luma + chroma, chroma};
        picture.bytes = picture_;
        return;
    }
    uint32_t fourcc = request_.fourcc;
    int32_t pitch = request_.pitch(static_cast<uint32_t>(width));
    Control(AVS_SetOutputFourcc, Address(&fourcc));
    Control(AVS_SetOutputPitch, Address(&pitch));
    const size_t rows = static_cast<size_t>(std::abs(pitch)) * height;
    // Planar output puts the two chroma planes (rows/4 each) after the luma rows.
    picture_.assign(fourcc == AVS_FOURCC_YV12 ? rows + 2 * (rows / 4) : rows, 0);
    Control(AVS_ConvertPicture, Address(picture_.data()));
    picture.bytes = picture_;
    picture.pitch = pitch;
}

}  // namespace avs::tool
