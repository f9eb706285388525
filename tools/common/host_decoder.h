// A host's side of the C interface: feeds a stream in pieces of any size,
// presents untaken bytes again, fetches every delivered picture and hands
// each picture to a sink once, in display order. Used by the avsdec tool and
// by the tests, so both drive the library the same way.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "avsdec.h"

namespace avs::tool {

// How pictures are fetched.
struct PictureRequest {
    // 0: planar I420 through AVS_ConvertPictureTo. Otherwise the layout
    // fetched through AVS_ConvertPicture, with the pitch that `pitch` gives
    // for the picture's width.
    uint32_t fourcc = 0;
    int32_t (*pitch)(uint32_t width) = nullptr;
};

struct Picture {
    uint32_t index;  // display order, from 0
    uint32_t width;
    uint32_t height;
    AVS_SequenceInfo sequence;  // the sequence the picture belongs to
    // Planar I420 requests: luma width x height, then Cb and Cr planes of
    // (width / 2) x (height / 2) each; `bytes` holds all three.
    std::span<const uint8_t> y, cb, cr;
    // Every request: the picture's bytes as fetched.
    std::span<const uint8_t> bytes;
    int32_t pitch;  // layout requests: row pitch (positive BGR: bottom-up)
};

class HostDecoder {
  public:
    // Returns false to stop decoding (enough pictures, or the output failed).
    using Sink = std::function<bool(const Picture&)>;

    // `threads`: the threads each picture is decoded on (AVS_SetDecodingThreads).
    HostDecoder(PictureRequest request, Sink sink, uint32_t threads = 1);
    ~HostDecoder();
    HostDecoder(const HostDecoder&) = delete;
    HostDecoder& operator=(const HostDecoder&) = delete;

    // False when the library gave no stream.
    bool Ok() const { return stream_ != nullptr; }
    // Presents the next input bytes. False once decoding has stopped.
    bool Push(std::span<const uint8_t> bytes);
    // End of input: feeds a sequence end when the input does not end with
    // one, so the last picture is decoded and delivered, then the library's
    // end-of-stream call. When the input may have stopped inside a unit
    // (`unitEndKnown` false: a cut recording), no sequence end is added: the
    // unit in progress, which nothing shows to be whole, is dropped.
    void Finish(bool unitEndKnown = true);

    bool Stopped() const { return stopped_; }
    uint32_t Pictures() const { return pictures_; }
    // Times the decoder could take no more input and was reset.
    uint32_t Resets() const { return resets_; }
    AVS_SequenceInfo Sequence() const;

  private:
    void FeedPending();
    void Taken(std::span<const uint8_t> bytes);
    // Fetches a delivered picture, if any; true when there was one.
    bool CheckDelivery(bool endOfStream);
    void Fetch(Picture& picture);
    uint32_t Control(uint32_t code, uintptr_t argument) const;

    AVS_Video_stream* stream_;
    PictureRequest request_;
    Sink sink_;
    std::vector<uint8_t> pending_;  // bytes presented but not yet taken
    std::vector<uint8_t> picture_;  // the fetched picture
    uint32_t inputTail_ = 0;        // last four input bytes, big-endian
    uint32_t takenTail_ = 0;        // last four bytes the library took
    bool pictureOpen_ = false;      // the last unit taken is a picture, not yet ended
    bool pictureSinceFlush_ = false;
    bool stopped_ = false;
    uint32_t pictures_ = 0;
    uint32_t resets_ = 0;
};

}  // namespace avs::tool
