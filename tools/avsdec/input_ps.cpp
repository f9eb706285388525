// MPEG-2 program stream: pack headers, system headers and PES packets, each
// beginning with its start code. The video is stream id 0xE0, or else the
// first video stream id (0xE0..0xEF) that the system header lists or a
// packet carries; other streams are passed over.
#include <algorithm>

#include "input_demux.h"

namespace avs::tool {
namespace {

constexpr uint8_t kProgramEnd = 0xB9;
constexpr uint8_t kPack = 0xBA;
constexpr uint8_t kSystemHeader = 0xBB;
constexpr size_t kMore = SIZE_MAX;

bool IsVideo(uint8_t streamId) {
    return streamId >= 0xE0 && streamId <= 0xEF;
}

// The length of the packet that starts at p (held bytes from there, at least
// four): 0 when no program stream packet starts there, kMore when more
// bytes are needed to tell.
size_t PacketLength(const uint8_t* p, size_t held) {
    if (p[0] != 0 || p[1] != 0 || p[2] != 1 || p[3] < kProgramEnd) return 0;
    if (p[3] == kProgramEnd) return 4;
    if (p[3] == kPack) {
        if (held < 14) return kMore;
        // The marker bits around the clock fields; pack_stuffing_length last.
        const bool marked = (p[4] & 0xC4) == 0x44 && (p[6] & 0x04) && (p[8] & 0x04) &&
                            (p[9] & 0x01) && (p[12] & 0x03) == 0x03;
        return marked ? 14 + (p[13] & 0x07) : 0;
    }
    return held < 6 ? kMore : 6 + PesPacketLength(p);
}

class PsInput final : public DemuxInput {
  public:
    using DemuxInput::DemuxInput;

    // Only the program end code proves the last packet was not cut.
    bool EndsAtUnitEnd() const override { return ended_; }

  private:
    void Parse(bool atEnd) override;
    void Finish() override;
    void SystemHeader(std::span<const uint8_t> packet);
    void Video(std::span<const uint8_t> packet);

    bool inSync_ = true;
    bool ended_ = false;
    int video_ = -1;       // the stream id taken
    bool chosen_ = false;  // a video packet was taken: the choice stays
};

void PsInput::Parse(bool atEnd) {
    while (in_.size() - inPos_ >= 4) {
        const uint8_t* p = in_.data() + inPos_;
        const size_t held = in_.size() - inPos_;
        const size_t length = PacketLength(p, held);
        if (length == kMore || (length > held && !atEnd)) {
            if (atEnd) break;  // a header cut short
            return;
        }
        if (length == 0) {  // out of step: damage, or a wrong packet length before
            if (inSync_) {
                inSync_ = false;
                Warn("damaged at byte " + std::to_string(Position()));
                Lost();
            }
            ++inPos_;
            continue;
        }
        inSync_ = true;
        const std::span<const uint8_t> packet(p, std::min(length, held));
        ended_ = p[3] == kProgramEnd;
        if (p[3] == kSystemHeader) SystemHeader(packet);
        if (IsVideo(p[3])) Video(packet);
        inPos_ += packet.size();
    }
    if (atEnd) inPos_ = in_.size();
}

// After the six bytes of rates and flags, three bytes per stream, each
// starting with its stream id (top bit set).
void PsInput::SystemHeader(std::span<const uint8_t> packet) {
    for (size_t i = 12; !chosen_ && video_ != 0xE0 && i + 3 <= packet.size() && (packet[i] & 0x80);
         i += 3) {
        if (packet[i] == 0xE0 || (video_ < 0 && IsVideo(packet[i]))) video_ = packet[i];
    }
}

void PsInput::Video(std::span<const uint8_t> packet) {
    if (video_ < 0) video_ = packet[3];
    chosen_ = true;
    if (packet[3] != video_) return;
    const int offset = PesPayloadOffset(packet);
    if (offset <= 0) return Lost();  // a damaged header, or one cut short
    Emit(packet.subspan(static_cast<size_t>(offset)));
}

void PsInput::Finish() {
    if (video_ < 0) error_ = "'" + name_ + "' is a program stream without a video stream";
}

}  // namespace

std::unique_ptr<Input> ProgramStreamInput(std::unique_ptr<Input> source, std::string name) {
    return std::make_unique<PsInput>(std::move(source), std::move(name));
}

}  // namespace avs::tool
