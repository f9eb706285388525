// MPEG-2 transport stream: 188-byte packets. The programme association
// table (PID 0) names the programme map tables, and the first of those that
// lists a stream of stream_type 0x42 names the video PID, unless --pid gave
// it. The video's PES packets are put together again across packets.
#include <algorithm>
#include <cstdio>

#include "input_demux.h"

namespace avs::tool {
namespace {

constexpr uint16_t kPatPid = 0x0000;
constexpr uint8_t kAvsVideo = 0x42;
constexpr size_t kMaxSection = 1024;  // 3 header bytes + section_length up to 1021

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*x", digits, value);
    return text;
}

// A table section put together from the payloads of one PID.
class SectionBuffer {
  public:
    // Hands every section that completes to `done`.
    template <typename Done>
    void Add(std::span<const uint8_t> payload, bool unitStart, Done done) {
        if (unitStart) {
            const size_t pointer = payload[0];
            if (1 + pointer > payload.size()) return Reset();
            if (active_) Append(payload.subspan(1, pointer), done);  // the tail of the last one
            bytes_.clear();
            active_ = true;
            payload = payload.subspan(1 + pointer);
        }
        if (active_) Append(payload, done);
    }
    void Reset() {
        bytes_.clear();
        active_ = false;
    }

  private:
    template <typename Done>
    void Append(std::span<const uint8_t> bytes, Done done) {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        while (active_ && bytes_.size() >= 3) {
            const size_t total = 3 + Length12(&bytes_[1]);
            if (bytes_[0] == 0xFF || total > kMaxSection) return Reset();  // stuffing, or damage
            if (bytes_.size() < total) return;
            if (SectionCrc(std::span(bytes_).first(total)) == 0)
                done(std::span(bytes_).first(total));
            bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<ptrdiff_t>(total));
        }
    }

    std::vector<uint8_t> bytes_;
    bool active_ = false;
};

class TsInput final : public DemuxInput {
  public:
    TsInput(std::unique_ptr<Input> source, std::string name, int pid)
        : DemuxInput(std::move(source), std::move(name)), videoPid_(pid), pidGiven_(pid >= 0) {}

    bool EndsAtUnitEnd() const override { return false; }  // nothing marks a stream's end

  private:
    void Parse(bool atEnd) override;
    void Finish() override;
    void Packet(const uint8_t* p);
    void Pat(std::span<const uint8_t> section);
    void Pmt(uint16_t pid, std::span<const uint8_t> section);
    void Video(std::span<const uint8_t> payload, bool unitStart, uint8_t cc, bool discontinuity);
    void VideoPayload(std::span<const uint8_t> bytes);
    void NoVideo();

    int videoPid_;
    const bool pidGiven_;
    bool inSync_ = true;

    SectionBuffer pat_;
    bool patSeen_ = false;
    struct ProgrammeMap {
        uint16_t pid;
        SectionBuffer section;
        bool seen = false;
    };
    std::vector<ProgrammeMap> maps_;
    std::vector<uint8_t> streamTypes_;  // every type the maps list, for the error

    bool videoSeen_ = false;
    int lastCc_ = -1;
    enum class Pes { None, Header, Payload } pes_ = Pes::None;
    std::vector<uint8_t> header_;
    size_t left_ = 0;  // payload bytes the PES packet still holds; SIZE_MAX: unbounded
};

void TsInput::Parse(bool atEnd) {
    while (in_.size() - inPos_ >= kTsPacket) {
        const uint8_t* p = in_.data() + inPos_;
        const size_t held = in_.size() - inPos_;
        if (p[0] == kTsSync) {
            // Once out of step, the packet after must agree before trusting a sync byte.
            if (!inSync_ && held < 2 * kTsPacket && !atEnd) return;
            if (inSync_ || held < 2 * kTsPacket || p[kTsPacket] == kTsSync) {
                inSync_ = true;
                Packet(p);
                inPos_ += kTsPacket;
                if (!error_.empty()) return;
                continue;
            }
        } else if (inSync_) {
            inSync_ = false;
            if (pes_ != Pes::None) Lost();  // a video packet may be among the broken ones
            pat_.Reset();
            for (ProgrammeMap& map : maps_) map.section.Reset();
        }
        ++inPos_;
    }
    if (atEnd) inPos_ = in_.size();  // a packet cut short
}

void TsInput::Packet(const uint8_t* p) {
    if (p[1] & 0x80) return;  // transport_error_indicator: the packet is known to be damaged
    const auto pid = Pid13(p + 1);
    const bool unitStart = (p[1] & 0x40) != 0;
    const uint8_t control = (p[3] >> 4) & 3;
    size_t start = 4;
    bool discontinuity = false;
    if (control & 2) {  // adaptation field
        start = 5 + p[4];
        discontinuity = p[4] > 0 && (p[5] & 0x80) != 0;
    }
    if ((control & 1) == 0 || start > kTsPacket) return;  // no payload, or a damaged field
    const std::span<const uint8_t> payload(p + start, kTsPacket - start);
    if (static_cast<int>(pid) == videoPid_) {
        Video(payload, unitStart, p[3] & 0x0F, discontinuity);
    } else if (pidGiven_ || payload.empty()) {
        return;
    } else if (pid == kPatPid) {
        pat_.Add(payload, unitStart, [&](std::span<const uint8_t> s) { Pat(s); });
    } else {
        for (ProgrammeMap& map : maps_) {
            if (map.pid == pid) {
                map.section.Add(payload, unitStart,
                                [&](std::span<const uint8_t> s) { Pmt(pid, s); });
            }
        }
    }
}

// Sections: table_id, section_length, five bytes up to last_section_number,
// the table's own fields, and the CRC. current_next_indicator 0 is a table
// that does not apply yet.
void TsInput::Pat(std::span<const uint8_t> s) {
    if (s[0] != 0x00 || s.size() < 12 || (s[5] & 1) == 0) return;
    patSeen_ = true;
    for (size_t i = 8; i + 4 <= s.size() - 4; i += 4) {
        const unsigned programme = unsigned{s[i]} << 8 | s[i + 1];
        const auto pid = Pid13(&s[i + 2]);
        if (programme == 0) continue;  // the network information table
        if (std::none_of(maps_.begin(), maps_.end(), [&](auto& m) { return m.pid == pid; })) {
            maps_.push_back({pid, {}});
        }
    }
}

void TsInput::Pmt(uint16_t pid, std::span<const uint8_t> s) {
    if (s[0] != 0x02 || s.size() < 16 || (s[5] & 1) == 0 || videoPid_ >= 0) return;
    const size_t end = s.size() - 4;
    size_t i = 12 + Length12(&s[10]);  // after the programme descriptors
    for (; i + 5 <= end; i += 5 + Length12(&s[i + 3])) {
        const uint8_t type = s[i];
        if (type == kAvsVideo) {
            videoPid_ = Pid13(&s[i + 1]);
            return;
        }
        if (std::find(streamTypes_.begin(), streamTypes_.end(), type) == streamTypes_.end()) {
            streamTypes_.push_back(type);
        }
    }
    for (ProgrammeMap& map : maps_) map.seen |= map.pid == pid;
    if (std::all_of(maps_.begin(), maps_.end(), [](auto& m) { return m.seen; })) NoVideo();
}

void TsInput::NoVideo() {
    std::string types;
    for (uint8_t type : streamTypes_) types += (types.empty() ? "" : ", ") + Hex(type, 2);
    error_ = "'" + name_ + "' is a transport stream without AVS video (stream_type 0x42); " +
             (types.empty() ? std::string("its programmes list no streams")
                            : "its programmes carry stream types " + types) +
             " (--pid names a video PID)";
}

void TsInput::Finish() {
    if (videoPid_ < 0 && !patSeen_) {
        error_ = "'" + name_ +
                 "' is a transport stream without a programme association table (--pid names "
                 "the video PID)";
    } else if (videoPid_ < 0 && streamTypes_.empty()) {
        error_ = "'" + name_ +
                 "' is a transport stream whose programme map tables are missing (--pid names "
                 "the video PID)";
    } else if (videoPid_ < 0) {
        NoVideo();
    } else if (!videoSeen_) {
        error_ = "'" + name_ + "' is a transport stream with no packets on PID " +
                 Hex(static_cast<unsigned>(videoPid_), 4);
    }
}

void TsInput::Video(std::span<const uint8_t> payload, bool unitStart, uint8_t cc,
                    bool discontinuity) {
    videoSeen_ = true;
    // The counter steps by one for each packet with payload; a repeat of the
    // last value is a packet sent twice.
    if (lastCc_ >= 0 && !discontinuity) {
        if (cc == lastCc_) return;
        if (cc != ((lastCc_ + 1) & 0x0F)) {
            Warn("packets of PID " + Hex(static_cast<unsigned>(videoPid_), 4) +
                 " are missing (first before byte " + std::to_string(Position()) + ")");
            Lost();
        }
    }
    lastCc_ = cc;
    if (unitStart) {
        const bool cutShort = pes_ == Pes::Payload && left_ != SIZE_MAX && left_ > 0;
        if (cutShort || pes_ == Pes::Header) Lost();
        pes_ = Pes::Header;
        header_.clear();
    }
    if (pes_ == Pes::None) return;  // the rest of a packet whose start was not seen
    if (pes_ == Pes::Payload) return VideoPayload(payload);

    // The header may reach into the next packets.
    header_.insert(header_.end(), payload.begin(), payload.end());
    const int offset = PesPayloadOffset(header_);
    if (offset == 0) return;
    if (offset < 0) {
        pes_ = Pes::None;
        return Lost();
    }
    const size_t length = PesPacketLength(header_.data());
    left_ = length == 0 ? SIZE_MAX : 6 + length - static_cast<size_t>(offset);
    pes_ = Pes::Payload;
    VideoPayload(std::span(header_).subspan(static_cast<size_t>(offset)));
}

void TsInput::VideoPayload(std::span<const uint8_t> bytes) {
    const size_t n = std::min(bytes.size(), left_);  // what follows a bounded packet is stuffing
    if (left_ != SIZE_MAX) left_ -= n;
    Emit(bytes.first(n));
}

}  // namespace

// CRC-32 with the polynomial 0x04C11DB7, most significant bit first, from all ones.
uint32_t SectionCrc(std::span<const uint8_t> bytes) {
    uint32_t crc = 0xFFFFFFFF;
    for (uint8_t b : bytes) {
        crc ^= uint32_t{b} << 24;
        for (int k = 0; k < 8; ++k) crc = (crc << 1) ^ ((crc & 0x80000000) ? 0x04C11DB7 : 0);
    }
    return crc;
}

std::unique_ptr<Input> TransportStreamInput(std::unique_ptr<Input> source, std::string name,
                                            int pid) {
    return std::make_unique<TsInput>(std::move(source), std::move(name), pid);
}

}  // namespace avs::tool
