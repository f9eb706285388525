// Transport and program streams made packet by packet, for the tests of the
// input modules and of the tool.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <utility>
#include <vector>

#include "input.h"

namespace avs::test {

using Bytes = std::vector<uint8_t>;

// A PES packet; `stuffing` header bytes make a header that outgrows a
// transport packet. Unbounded packets leave PES_packet_length 0.
inline Bytes PesPacket(uint8_t streamId, std::span<const uint8_t> payload, bool bounded = true,
                       uint8_t stuffing = 0) {
    Bytes pes = {0, 0, 1, streamId, 0, 0, 0x80, 0x00, stuffing};
    pes.insert(pes.end(), stuffing, 0xFF);
    pes.insert(pes.end(), payload.begin(), payload.end());
    if (bounded) {
        pes[4] = static_cast<uint8_t>((pes.size() - 6) >> 8);
        pes[5] = static_cast<uint8_t>(pes.size() - 6);
    }
    return pes;
}

class TsBuilder {
  public:
    // `bytes` as one payload unit in as many packets as it takes, the last
    // filled up with an adaptation field.
    TsBuilder& Add(uint16_t pid, std::span<const uint8_t> bytes) {
        for (size_t at = 0; at == 0 || at < bytes.size();) {
            const size_t n = std::min<size_t>(184, bytes.size() - at);
            Bytes p = {0x47, static_cast<uint8_t>((at == 0 ? 0x40 : 0) | pid >> 8),
                       static_cast<uint8_t>(pid), static_cast<uint8_t>(0x10 | (cc_[pid]++ & 15))};
            if (n < 184) {
                p[3] |= 0x20;
                p.push_back(static_cast<uint8_t>(183 - n));
                if (n < 183) p.push_back(0);  // no flags
                p.resize(188 - n, 0xFF);
            }
            p.insert(p.end(), bytes.begin() + at, bytes.begin() + at + n);
            stream.insert(stream.end(), p.begin(), p.end());
            at += n;
        }
        return *this;
    }
    TsBuilder& Pat(uint16_t pmtPid) {
        return Table(
            0, 0x00,
            {0x00, 0x01, static_cast<uint8_t>(0xE0 | pmtPid >> 8), static_cast<uint8_t>(pmtPid)});
    }
    // Programme map: PCR PID, no descriptors, then (stream_type, PID) pairs.
    TsBuilder& Pmt(uint16_t pid, std::initializer_list<std::pair<uint8_t, uint16_t>> streams) {
        Bytes body = {0xE1, 0x00, 0xF0, 0x00};
        for (auto [type, esPid] : streams) {
            body.insert(body.end(), {type, static_cast<uint8_t>(0xE0 | esPid >> 8),
                                     static_cast<uint8_t>(esPid), 0xF0, 0x00});
        }
        return Table(pid, 0x02, body);
    }
    Bytes stream;

  private:
    // Pointer field, the section header (version 0, current), body and CRC.
    TsBuilder& Table(uint16_t pid, uint8_t tableId, const Bytes& body) {
        Bytes s = {0x00, tableId, 0xB0, 0x00, 0x00, 0x01, 0xC1, 0x00, 0x00};
        s.insert(s.end(), body.begin(), body.end());
        s[3] = static_cast<uint8_t>(s.size());  // what follows section_length, with the CRC
        const uint32_t crc = tool::SectionCrc(std::span(s).subspan(1));
        for (int shift = 24; shift >= 0; shift -= 8)
            s.push_back(static_cast<uint8_t>(crc >> shift));
        return Add(pid, s);
    }

    uint8_t cc_[0x2000] = {};
};

// Program stream pieces.
inline Bytes PackHeader() {
    return {0, 0, 1, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xF8};
}
inline Bytes SystemHeader(std::initializer_list<uint8_t> streamIds) {
    Bytes h = {0, 0, 1, 0xBB, 0, 0, 0x80, 0x00, 0x01, 0x04, 0xE1, 0xFF};
    for (uint8_t id : streamIds) h.insert(h.end(), {id, 0xE0, 0x00});
    h[5] = static_cast<uint8_t>(h.size() - 6);
    return h;
}

}  // namespace avs::test
