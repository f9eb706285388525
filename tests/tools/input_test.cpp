// The input modules: a container gives back exactly the stream it carries,
// whole and cut at any packet; damage is stepped over with one warning and
// never stops the input.
#include "input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "host_decoder.h"
#include "md5_listing.h"
#include "support/decode_stream.h"
#include "support/test_paths.h"
#include "tools/container_builder.h"

namespace avs::test {
namespace {

using tool::InputFormat;

struct Demuxed {
    Bytes stream;
    std::string error;
    std::string warning;
    bool endsAtUnitEnd = false;
};

Demuxed Demux(const Bytes& container, int pid = -1) {
    Demuxed d;
    auto input = tool::OpenInput(tool::BufferedInput(container, nullptr), "x", pid, &d.error);
    if (input == nullptr) return d;
    uint8_t piece[4099];
    while (const size_t n = input->Read(piece)) d.stream.insert(d.stream.end(), piece, piece + n);
    d.error = input->Error();
    d.warning = input->Warning();
    d.endsAtUnitEnd = input->EndsAtUnitEnd();
    return d;
}

// Decoded as the tool does: an input that may be cut anywhere ends without
// completing its last unit.
std::vector<std::string> Md5Lines(const Demuxed& d) {
    tool::Md5Listing listing;
    tool::HostDecoder decoder({}, [&](const tool::Picture& picture) {
        listing.Add(picture);
        return true;
    });
    decoder.Push(d.stream);
    decoder.Finish(d.endsAtUnitEnd);
    return listing.Lines();
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The message holds `part`, and is empty exactly when `part` is.
bool Says(const std::string& message, const char* part) {
    return *part == '\0' ? message.empty() : message.find(part) != std::string::npos;
}

// A unit of `size` bytes that holds no start code but its own.
Bytes Unit(uint8_t code, size_t size) {
    Bytes unit = {0, 0, 1, code};
    for (size_t i = 4; i < size; ++i) unit.push_back(static_cast<uint8_t>(1 + i % 251));
    return unit;
}

TEST(InputFormat, IsToldByContent) {
    const Bytes ts = ReadFile(DataDir() / "f_ipb_cif.ts");
    const std::pair<Bytes, InputFormat> cases[] = {
        {ReadFile(DataDir() / "i_qcif_q20.avs"), InputFormat::Elementary},
        {{0x12, 0, 0, 1, 0x05, 0x33, 0, 0, 1, 0xB6, 0}, InputFormat::Elementary},  // slices first
        {ts, InputFormat::Transport},
        {Bytes(ts.begin() + 100, ts.end()), InputFormat::Transport},  // from inside a packet
        {Bytes(ts.begin(), ts.begin() + 188), InputFormat::Transport},
        {ReadFile(DataDir() / "f_ipb_cif.mpg"), InputFormat::Program},
        {PesPacket(0xE0, Unit(0xB3, 20)), InputFormat::Program},  // PES packets without packs
        {{0, 0, 1, 0xBA, 0x21, 0, 1, 0, 1, 0x80, 0, 1}, InputFormat::Unknown},  // an MPEG-1 pack
        {{0, 0, 1, 0xB4, 0x47}, InputFormat::Unknown},
        {Bytes(1000, 0x55), InputFormat::Unknown},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(tool::DetectFormat(cases[i].first), cases[i].second) << "case " << i;
    }
}

// Where a recording may stop: before every pack and PES packet of a program
// stream (its video holds no such start code), before and inside every
// transport packet.
std::vector<size_t> Cuts(const Bytes& c) {
    std::vector<size_t> at;
    for (size_t i = 0; i + 3 < c.size(); ++i) {
        if (c[0] == 0x47 ? i % 188 == 0 || i % 188 == 77
                         : c[i] == 0 && c[i + 1] == 0 && c[i + 2] == 1 && c[i + 3] >= 0xB9) {
            at.push_back(i);
        }
    }
    at.push_back(c.size());
    return at;
}

// Picture units that the start code of a unit after them shows to be whole.
size_t WholePictures(const Bytes& es) {
    size_t whole = 0;
    bool open = false;
    for (size_t i = 3; i < es.size(); ++i) {
        const uint8_t v = es[i];
        if (es[i - 3] != 0 || es[i - 2] != 0 || es[i - 1] != 1) continue;
        if (v != 0xB0 && v != 0xB1 && v != 0xB3 && v != 0xB6) continue;
        whole += open;
        open = v == 0xB3 || v == 0xB6;
    }
    return whole;
}

TEST(ContainerInput, GivesTheStreamWholeAndCutAnywhere) {
    const std::vector<std::string> listing = ReadMd5Lines(DataDir() / "f_ipb_cif.md5");
    ASSERT_EQ(listing.size(), 31u);
    Bytes stream;
    for (const char* name : {"f_ipb_cif.ts", "f_ipb_cif_audio.ts", "f_ipb_cif.mpg"}) {
        const Bytes container = ReadFile(DataDir() / name);
        const Demuxed whole = Demux(container);
        ASSERT_EQ(whole.error, "") << name;
        EXPECT_EQ(whole.warning, "") << name;
        if (stream.empty()) {
            stream = whole.stream;
            EXPECT_EQ(Md5Lines(whole), listing);
        }
        EXPECT_EQ(whole.stream, stream) << name;  // all three carry one stream, byte for byte

        const std::vector<size_t> cuts = Cuts(container);
        size_t before = 0;
        for (size_t k = 0; k < cuts.size(); ++k) {
            const Demuxed cut = Demux(Bytes(container.begin(), container.begin() + cuts[k]));
            const std::string where = std::string(name) + " cut at " + std::to_string(cuts[k]);
            ASSERT_LE(cut.stream.size(), stream.size()) << where;
            ASSERT_TRUE(std::equal(cut.stream.begin(), cut.stream.end(), stream.begin())) << where;
            EXPECT_GE(cut.stream.size(), before) << where;
            EXPECT_EQ(cut.warning, "") << where;
            EXPECT_TRUE(cut.stream.empty() || cut.error.empty()) << where << ": " << cut.error;
            before = cut.stream.size();
            if (k % (cuts.size() / 10) != 0) continue;  // decoding some cuts is enough
            // The whole pictures come out, in the listing's order, and no other.
            const std::vector<std::string> lines = Md5Lines(cut);
            EXPECT_EQ(lines.size() - 1, WholePictures(cut.stream)) << where;
            auto next = listing.begin() + 1;
            for (size_t i = 1; i < lines.size(); ++i) {
                const std::string md5 = lines[i].substr(lines[i].find(' '));
                next = std::find_if(next, listing.end(),
                                    [&](const std::string& l) { return l.ends_with(md5); });
                ASSERT_NE(next, listing.end()) << where << ": picture " << i - 1;
                ++next;
            }
        }
    }
}

TEST(TransportStreamInput, FollowsTheTablesAndStepsOverLostPackets) {
    const Bytes first = Unit(0xB3, 600), second = Unit(0xB6, 300);
    const auto build = [&](bool tables, uint8_t videoType) {
        TsBuilder ts;
        if (tables) ts.Pat(0x1000).Pmt(0x1000, {{0x0F, 0x101}, {videoType, 0x100}});
        // A header longer than a packet, audio between, then an unbounded packet.
        ts.Add(0x100, PesPacket(0xE0, first, true, 200));
        ts.Add(0x101, PesPacket(0xC0, Unit(0xC0, 500)));
        ts.Add(0x100, PesPacket(0xE0, second, false));
        return ts;
    };
    // Packet 4 is the third of the first picture. Without it the rest of the
    // picture is dropped up to the next start code.
    const Bytes tables = build(true, 0x42).stream;
    const auto packet = [&](size_t i) { return tables.begin() + static_cast<ptrdiff_t>(188 * i); };
    const Bytes repeated = Bytes(tables.begin(), packet(5)) + Bytes(packet(4), tables.end());
    const Bytes lost = Bytes(tables.begin(), packet(4)) + Bytes(packet(5), tables.end());
    const Bytes firstPart(first.begin(), first.begin() + 159);

    struct Case {
        const char* what;
        Bytes container;
        int pid;
        Bytes stream;
        const char* error;  // parts of the messages
        const char* warning;
    };
    const Case cases[] = {
        {"tables", tables, -1, first + second, "", ""},
        {"--pid without tables", build(false, 0).stream, 0x100, first + second, "", ""},
        {"a packet sent twice", repeated, -1, first + second, "", ""},
        {"a lost packet", lost, -1, firstPart + second, "",
         "packets of PID 0x0100 are missing (first before byte 752)"},
        {"no AVS video", build(true, 0x1B).stream, -1, Bytes(), "stream types 0x0f, 0x1b", ""},
        {"no tables", build(false, 0).stream, -1, Bytes(), "without a programme association table",
         ""},
        {"no packets on --pid", tables, 0x200, Bytes(), "no packets on PID 0x0200", ""},
    };
    for (const Case& c : cases) {
        const Demuxed d = Demux(c.container, c.pid);
        EXPECT_EQ(d.stream, c.stream) << c.what;
        EXPECT_TRUE(Says(d.error, c.error)) << c.what << ": " << d.error;
        EXPECT_TRUE(Says(d.warning, c.warning)) << c.what << ": " << d.warning;
    }
}

TEST(ProgramStreamInput, TakesOneVideoStreamAndStepsOverDamage) {
    const Bytes first = Unit(0xB3, 600), second = Unit(0xB6, 300), end = {0, 0, 1, 0xB9};
    const Bytes other = PesPacket(0xE2, Unit(0xB3, 100)), audio = PesPacket(0xC0, Unit(0xC0, 90));
    const Bytes named = PackHeader() + SystemHeader({0xC0, 0xE2, 0xE0}) + other + audio +
                        PesPacket(0xE0, first) + PackHeader() + PesPacket(0xE0, second);
    struct Case {
        const char* what;
        Bytes container;
        Bytes stream;
        bool endsAtUnitEnd;
        const char* warning;
    };
    const Case cases[] = {
        // 0xE0 whenever the system header names it, though another comes first.
        {"named 0xE0", named + end, first + second, true, ""},
        {"no end code", named, first + second, false, ""},
        {"first video stream", PackHeader() + audio + PesPacket(0xE1, first) + other + end, first,
         true, ""},
        {"bytes between packets", named + Bytes(5, 0x11) + PesPacket(0xE0, first),
         first + second + first, false, "damaged at byte 1175"},
    };
    for (const Case& c : cases) {
        const Demuxed d = Demux(c.container);
        EXPECT_EQ(d.error, "") << c.what;
        EXPECT_EQ(d.stream, c.stream) << c.what;
        EXPECT_EQ(d.endsAtUnitEnd, c.endsAtUnitEnd) << c.what;
        EXPECT_TRUE(Says(d.warning, c.warning)) << c.what << ": " << d.warning;
    }
}

// Flipped bytes, lost and repeated pieces, early ends: the input always
// ends, and never gives more than the container held.
TEST(ContainerInput, EndsWhateverTheDamage) {
    std::mt19937 rng(16);
    for (const char* name : {"f_ipb_cif.ts", "f_ipb_cif_audio.ts", "f_ipb_cif.mpg"}) {
        const Bytes container = ReadFile(DataDir() / name);
        for (int trial = 0; trial < 40; ++trial) {
            Bytes c = container;
            for (int k = 0; k < 1 + trial % 8; ++k) {
                const size_t at = rng() % c.size(),
                             n = std::min<size_t>(1 + rng() % 400, c.size() - at);
                switch (rng() % 4) {
                    case 0:
                        c[at] ^= static_cast<uint8_t>(1 + rng() % 255);
                        break;
                    case 1:
                        c.erase(c.begin() + at, c.begin() + at + n);
                        break;
                    case 2:
                        c.insert(c.begin() + rng() % c.size(), c.begin() + at, c.begin() + at + n);
                        break;
                    default:
                        c.resize(std::max<size_t>(at, 1));
                        break;
                }
            }
            const Demuxed d = Demux(c);
            EXPECT_LE(d.stream.size(), c.size()) << name << " " << trial;
        }
    }
}

}  // namespace
}  // namespace avs::test
