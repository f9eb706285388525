// What the transport and program stream inputs share: reading the container
// in large pieces, the PES packet header, and handing on the video payload.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "input.h"

namespace avs::tool {

constexpr size_t kTsPacket = 188;
constexpr uint8_t kTsSync = 0x47;

// Where the payload of a PES packet starts (its first bytes are the 00 00 01
// prefix): 0 while `pes` is too short to tell, -1 when it has no MPEG-2 PES
// header (a damaged packet, or a stream id that carries none).
int PesPayloadOffset(std::span<const uint8_t> pes);
// PES_packet_length: the bytes after the first six; 0 is unbounded.
inline size_t PesPacketLength(const uint8_t* pes) {
    return size_t{pes[4]} << 8 | pes[5];
}

// The 12-bit length and the 13-bit PID of transport stream tables and
// headers: the low bits of p[0], then p[1].
inline size_t Length12(const uint8_t* p) {
    return (size_t{p[0]} & 0x0F) << 8 | p[1];
}
inline uint16_t Pid13(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] & 0x1F) << 8 | p[1]);
}

class DemuxInput : public Input {
  public:
    DemuxInput(std::unique_ptr<Input> source, std::string name)
        : name_(std::move(name)), source_(std::move(source)) {}

    size_t Read(std::span<uint8_t> buffer) final;

  protected:
    // Takes what it can of in_ from inPos_ on, moving inPos_; `atEnd` when
    // no more input comes, and a packet cut short is then taken as it is.
    virtual void Parse(bool atEnd) = 0;
    // Called once at the end of the input; may set error_.
    virtual void Finish() {}

    // Video payload for the decoder.
    void Emit(std::span<const uint8_t> bytes);
    // Some of the video is lost: what follows is dropped up to the next
    // start code, where the decoder can pick up the stream again.
    void Lost() {
        resyncing_ = true;
        zeros_ = 0;
    }
    // The first damage the input met, for the warning.
    void Warn(const std::string& what);
    // The container's byte count up to inPos_.
    uint64_t Position() const { return dropped_ + inPos_; }

    const std::string name_;
    std::vector<uint8_t> in_;
    size_t inPos_ = 0;

  private:
    std::unique_ptr<Input> source_;
    uint64_t dropped_ = 0;  // bytes erased from the front of in_
    bool finished_ = false;
    std::vector<uint8_t> out_;
    size_t outPos_ = 0;
    bool resyncing_ = false;
    int zeros_ = 0;  // zero bytes just dropped while resynchronising
};

}  // namespace avs::tool
