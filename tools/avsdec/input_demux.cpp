#include "input_demux.h"

#include <algorithm>

namespace avs::tool {
namespace {

constexpr size_t kReadPiece = 65536;

// Stream ids whose PES packets have no optional header: program stream map,
// padding, private stream 2, ECM, EMM, directory, DSM-CC, H.222.1 type E.
bool HasPesHeader(uint8_t streamId) {
    constexpr uint8_t kWithout[] = {0xBC, 0xBE, 0xBF, 0xF0, 0xF1, 0xF2, 0xF8, 0xFF};
    return std::find(std::begin(kWithout), std::end(kWithout), streamId) == std::end(kWithout);
}

}  // namespace

int PesPayloadOffset(std::span<const uint8_t> pes) {
    if (pes.size() < 9) return 0;
    if (pes[0] != 0 || pes[1] != 0 || pes[2] != 1 || !HasPesHeader(pes[3]) ||
        (pes[6] & 0xC0) != 0x80) {
        return -1;
    }
    const int offset = 9 + pes[8];
    const size_t length = PesPacketLength(pes.data());
    if (length != 0 && static_cast<size_t>(offset) > 6 + length) return -1;
    return pes.size() < static_cast<size_t>(offset) ? 0 : offset;
}

size_t DemuxInput::Read(std::span<uint8_t> buffer) {
    while (outPos_ == out_.size() && !finished_ && error_.empty()) {
        out_.clear();
        outPos_ = 0;
        in_.erase(in_.begin(), in_.begin() + static_cast<ptrdiff_t>(inPos_));
        dropped_ += inPos_;
        inPos_ = 0;
        const size_t held = in_.size();
        in_.resize(held + kReadPiece);
        const size_t n = source_->Read(std::span(in_).subspan(held));
        in_.resize(held + n);
        if (n == 0 && !source_->Error().empty()) error_ = source_->Error();
        Parse(n == 0);
        if (n == 0) {
            finished_ = true;
            if (error_.empty()) Finish();
        }
    }
    const size_t n = std::min(buffer.size(), out_.size() - outPos_);
    std::copy_n(out_.begin() + static_cast<ptrdiff_t>(outPos_), n, buffer.begin());
    outPos_ += n;
    return n;
}

void DemuxInput::Emit(std::span<const uint8_t> bytes) {
    size_t i = 0;
    for (; resyncing_ && i < bytes.size(); ++i) {
        if (bytes[i] == 0) {
            ++zeros_;
        } else if (bytes[i] == 1 && zeros_ >= 2) {
            out_.insert(out_.end(), {0, 0, 1});
            resyncing_ = false;
        } else {
            zeros_ = 0;
        }
    }
    out_.insert(out_.end(), bytes.begin() + static_cast<ptrdiff_t>(i), bytes.end());
}

void DemuxInput::Warn(const std::string& what) {
    if (warning_.empty()) {
        warning_ = "'" + name_ + "': " + what + "; decoding resumes at the next start code";
    }
}

}  // namespace avs::tool
