#include "bitstream/start_codes.h"

#include <gtest/gtest.h>

#include <cstring>

#include "bitstream/test_units.h"

namespace avs::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes SequenceUnit(uint32_t width, uint32_t height) {
    BitWriter w = StartCode(kSequenceHeaderCode);
    w.Bits(0x20, 8).Bits(0x40, 8).Bit(1).Bits(width, 14).Bits(height, 14);
    w.Bits(1, 2).Bits(1, 3).Bits(2, 4).Bits(3, 4).Bits(1000, 18).Bit(1).Bits(0, 12);
    w.Bit(0).Bit(1).Bits(200, 18).Bits(0, 3).Stuffing();
    return w.Data();
}

// A unit with `n` payload bytes that hold no start code prefix.
Bytes Unit(uint8_t code, size_t n) {
    Bytes u = {0, 0, 1, code};
    for (size_t i = 0; i < n; ++i) u.push_back(static_cast<uint8_t>(0x40 + i % 0xB0));
    return u;
}

const Bytes kEnd = {0, 0, 1, kSequenceEndCode};

std::vector<Bytes> UnitsFedWhole(const Bytes& stream) {
    ScanHost host(stream);
    host.Call(stream.size());
    return host.units;
}

TEST(InputScan, PieceOfFewerThanFourBytesIsNotTaken) {
    ScanHost host({0, 0, 1, kIPictureCode});
    EXPECT_EQ(host.Call(3), 0u);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].r, 0);
    EXPECT_EQ(host.Context().heldCount, 0u);
}

// A start code may be cut anywhere, also inside the one that both ends a unit
// and begins the next, and pieces may be shorter than a start code.
TEST(InputScan, AnyCutGivesTheSameUnits) {
    const Bytes stream = Cat({SequenceUnit(176, 144), Unit(kIPictureCode, 40),
                              Unit(kPbPictureCode, 9), Unit(kPbPictureCode, 0), kEnd});
    const std::vector<Bytes> whole = UnitsFedWhole(stream);
    ASSERT_EQ(whole.size(), 5u);
    for (size_t cut = 1; cut < stream.size(); ++cut) {
        ScanHost host(stream);
        host.CallInPieces({cut});
        EXPECT_EQ(host.units, whole) << "cut at " << cut;
        EXPECT_TRUE(host.AtEnd());
    }
    for (size_t piece = 1; piece <= 9; ++piece) {
        ScanHost host(stream);
        while (!host.AtEnd()) {
            const size_t before = host.Position();
            host.Call(piece);
            // Pieces shorter than a start code may take nothing; a longer one comes next.
            if (host.Position() == before) host.Call(piece + 4);
        }
        EXPECT_EQ(host.units, whole) << "pieces of " << piece;
    }
}

TEST(InputScan, UserDataAndExtensionsFoldIntoTheUnitBefore) {
    const Bytes seq = SequenceUnit(352, 288), user = Unit(kUserDataCode, 7);
    const Bytes pic = Unit(kIPictureCode, 30), ext = Unit(kExtensionCode, 5);
    const Bytes pb = Unit(kPbPictureCode, 12);
    const std::vector<Bytes> units = UnitsFedWhole(Cat({seq, user, pic, ext, pb, kEnd}));
    EXPECT_EQ(units, (std::vector<Bytes>{Cat({seq, user}), Cat({pic, ext}), pb, kEnd}));
}

TEST(InputScan, UserDataBeforeAnyUnitIsPassedOver) {
    const Bytes user = Unit(kUserDataCode, 6), pic = Unit(kIPictureCode, 20);
    ScanHost host(Cat({user, pic, kEnd}));
    host.Call(user.size() + pic.size() + kEnd.size());
    ASSERT_GE(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].r, 1);
    EXPECT_EQ(host.calls[0].taken, user.size() + pic.size());
    EXPECT_EQ(host.calls[0].text, "I-frame succesfully read");
    EXPECT_EQ(host.units[0], pic);
}

TEST(InputScan, LeadingJunkIsDroppedAndTaken) {
    const Bytes junk = {0xFF, 0x00, 0x00, 0x12, 0x00, 0x00, 0x00};
    const Bytes seq = SequenceUnit(176, 144);
    ScanHost host(Cat({junk, seq, kEnd}));
    host.Call(1000);
    ASSERT_EQ(host.units.size(), 2u);
    EXPECT_EQ(host.units[0], seq);
    EXPECT_EQ(host.calls[0].taken, junk.size() + seq.size());
}

TEST(InputScan, SequenceEndAloneIsAUnit) {
    ScanHost host(kEnd);
    host.Call(4);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].r, 1);
    EXPECT_EQ(host.calls[0].taken, 4u);
    EXPECT_EQ(host.calls[0].status, kStatusSequenceEnd);
    EXPECT_EQ(host.calls[0].text, "User data saccesfully read");
    EXPECT_EQ(host.units, std::vector<Bytes>{kEnd});
}

TEST(InputScan, StartCodesThatAreNotUnitsAreRejected) {
    for (uint8_t code : {0xB4, 0xB7, 0xB8, 0xFF, 0x00, 0xAF}) {
        const Bytes pic = Unit(kIPictureCode, 10);
        ScanHost host(Cat({{0x55, 0, 0, 1, code}, pic, kEnd}));
        host.Call(100);
        ASSERT_GE(host.calls.size(), 2u);
        EXPECT_EQ(host.calls[0].r, -1) << int{code};
        EXPECT_EQ(host.calls[0].taken, 5u);
        EXPECT_EQ(host.calls[0].status, kStatusBadStartCode);
        EXPECT_EQ(host.calls[0].text, "Wrong stream: can't find startcode");
        EXPECT_EQ(host.calls[1].r, 1);
        EXPECT_EQ(host.units[0], pic);
    }
}

TEST(InputScan, SequenceFieldsAreKnownBeforeTheUnitIsComplete) {
    const Bytes seq = SequenceUnit(1920, 1080);
    {
        ScanHost host(Bytes(seq.begin(), seq.begin() + 4 + 13));
        host.Call(seq.size());
        EXPECT_EQ(host.Context().sequence.profile_id, 0u) << "13 bytes are not enough";
    }
    ScanHost host(seq);
    host.Call(seq.size());
    EXPECT_EQ(host.calls.back().r, 0);
    EXPECT_EQ(host.calls.back().status, kStatusHeaderRead);
    EXPECT_EQ(host.calls.back().text, "Sequence header succesfully read");
    const SequenceHeader& s = host.Context().sequence;
    EXPECT_EQ(s.horizontal_size, 1920u);
    EXPECT_EQ(s.vertical_size, 1080u);
    EXPECT_EQ(s.bbv_buffer_size, 200u);
}

// Input is copied in growing steps; units and early sequence fields must not
// depend on where a step ends.
TEST(InputScan, LargePiecesGiveTheSameUnitsAsSmallOnes) {
    for (size_t junk : {65536 - 20, 65536 - 9, 65536 - 4, 65536 + 3, 300000}) {
        const Bytes stream =
            Cat({Bytes(junk, 0xFF), SequenceUnit(720, 576), Unit(kIPictureCode, 150000), kEnd});
        ScanHost whole(stream);
        whole.Call(stream.size());
        EXPECT_EQ(whole.Context().sequence.horizontal_size, 720u);
        ScanHost pieces(stream);
        while (!pieces.AtEnd()) pieces.Call(4099);
        EXPECT_EQ(whole.units, pieces.units) << junk;
        EXPECT_EQ(whole.units.size(), 3u);
    }
}

TEST(InputScan, UnitLongerThanTheBufferIsNeverTaken) {
    Bytes stream = Unit(kIPictureCode, kInputBufferSize + 1000);
    ScanHost host(stream);
    size_t taken = 0;
    for (int i = 0; i < 10; ++i) taken += host.Call(1 << 20);
    EXPECT_EQ(host.Context().heldCount, kInputBufferSize - 3);
    EXPECT_EQ(taken, kInputBufferSize - 3);
    EXPECT_EQ(host.calls.back().r, 0);
    EXPECT_EQ(host.calls.back().taken, 0u);
}

TEST(SliceStart, LooksAtTheNextByteBoundary) {
    const PaddedUnit unit({0xFF, 0, 0, 1, 0x05, 0, 0, 1, 0xB0, 0, 0, 1, 0xAF});
    const BitReader br = unit.Reader();
    EXPECT_TRUE(IsSliceStart(br, 8));
    EXPECT_TRUE(IsSliceStart(br, 1));  // rounded up to byte 1
    EXPECT_FALSE(IsSliceStart(br, 0));
    EXPECT_FALSE(IsSliceStart(br, 40));  // 00 00 01 B0 is not a slice
    EXPECT_TRUE(IsSliceStart(br, 72));
    EXPECT_FALSE(IsSliceStart(br, 0xFFFFFFF0u));  // far past the unit: padding only
}

}  // namespace
}  // namespace avs::test
