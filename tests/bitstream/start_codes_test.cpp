#include "bitstream/start_codes.h"

#include <gtest/gtest.h>

#include "bitstream/test_units.h"

namespace avs::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Units = std::vector<Bytes>;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A unit with `n` payload bytes that hold no start code prefix.
Bytes Unit(uint8_t code, size_t n) {
    Bytes u = {0, 0, 1, code};
    for (size_t i = 0; i < n; ++i) u.push_back(static_cast<uint8_t>(0x40 + i % 0xB0));
    return u;
}

const Bytes kEnd = {0, 0, 1, kSequenceEndCode};

ScanHost Whole(const Bytes& stream) {
    ScanHost host(stream);
    host.Call(stream.size());
    return host;
}

// A start code may be cut anywhere, also the one that ends a unit and begins
// the next; a piece shorter than a start code is not taken. (The random
// pieces of the conformance tests reach few of these cuts.)
TEST(InputScan, AnyCutGivesTheSameUnits) {
    const Bytes stream = Cat({SequenceUnit(176, 144), Unit(kIPictureCode, 40),
                              Unit(kPbPictureCode, 9), Unit(kPbPictureCode, 0), kEnd});
    const Units whole = Whole(stream).units;
    ASSERT_EQ(whole.size(), 5u);
    for (size_t cut = 1; cut < stream.size(); ++cut) {
        ScanHost host(stream);
        host.Call(cut);
        host.Call(stream.size());
        EXPECT_EQ(host.units, whole) << "cut at " << cut;
    }
    ScanHost tiny(stream);
    EXPECT_EQ(tiny.Call(3), 0u);  // fewer than four bytes, nothing held: not taken
    EXPECT_EQ(tiny.HeldCount(), 0u);
}

TEST(InputScan, UserDataAndExtensionsFoldIntoTheUnitBefore) {
    const Bytes seq = SequenceUnit(352, 288), user = Unit(kUserDataCode, 7);
    const Bytes pic = Unit(kIPictureCode, 30), ext = Unit(kExtensionCode, 5);
    const Bytes pb = Unit(kPbPictureCode, 12);
    EXPECT_EQ(Whole(Cat({seq, user, pic, ext, pb, kEnd})).units,
              (Units{Cat({seq, user}), Cat({pic, ext}), pb, kEnd}));
    // Before any unit, user data and leading junk are passed over and taken.
    const ScanHost host = Whole(Cat({{0xFF, 0, 0, 0x12, 0}, user, pic, kEnd}));
    EXPECT_EQ(host.units, (Units{pic, kEnd}));
    EXPECT_EQ(host.calls[0].taken, 5 + user.size() + pic.size());
    EXPECT_EQ(host.calls[0].text, "I-frame succesfully read");
}

TEST(InputScan, StartCodesThatAreNotUnitsAreRejected) {
    for (uint8_t code : {0xB4, 0xB7, 0xB8, 0xFF, 0x00, 0xAF}) {
        const Bytes pic = Unit(kIPictureCode, 10);
        const ScanHost host = Whole(Cat({{0x55, 0, 0, 1, code}, pic, kEnd}));
        ASSERT_GE(host.calls.size(), 2u);
        EXPECT_EQ(host.calls[0].r, -1) << int{code};
        EXPECT_EQ(host.calls[0].taken, 5u);
        EXPECT_EQ(host.calls[0].status, kStatusBadStartCode);
        EXPECT_EQ(host.calls[0].text, "Wrong stream: can't find startcode");
        EXPECT_EQ(host.units, (Units{pic, kEnd}));
    }
}

TEST(InputScan, SequenceFieldsAreKnownBeforeTheUnitIsComplete) {
    const Bytes seq = SequenceUnit(1920, 1080);
    EXPECT_EQ(Whole(Bytes(seq.begin(), seq.begin() + 17)).Sequence().profile_id, 0u)
        << "13 bytes after the start code are not enough";
    ScanHost host = Whole(seq);
    EXPECT_EQ(host.calls.back().status, kStatusHeaderRead);
    EXPECT_EQ(host.calls.back().text, "Sequence header succesfully read");
    EXPECT_EQ(host.Sequence().horizontal_size, 1920u);
    EXPECT_EQ(host.Sequence().vertical_size, 1080u);
    EXPECT_EQ(host.Sequence().bbv_buffer_size, 200u);
}

// Large pieces are copied in growing steps; units and early sequence fields
// must not depend on where a step ends.
TEST(InputScan, LargePiecesGiveTheSameUnitsAsSmallOnes) {
    for (size_t junk : {65536 - 20, 65536 - 9, 65536 - 4, 65536 + 3, 300000}) {
        const Bytes stream =
            Cat({Bytes(junk, 0xFF), SequenceUnit(720, 576), Unit(kIPictureCode, 150000), kEnd});
        ScanHost whole = Whole(stream);
        EXPECT_EQ(whole.Sequence().horizontal_size, 720u) << junk;
        ScanHost pieces(stream);
        while (!pieces.AtEnd()) pieces.Call(4099);
        EXPECT_EQ(whole.units, pieces.units) << junk;
        EXPECT_EQ(whole.units.size(), 3u);
    }
}

TEST(InputScan, UnitLongerThanTheBufferIsNeverTaken) {
    ScanHost host(Unit(kIPictureCode, kInputBufferSize + 1000));
    size_t taken = 0;
    for (int i = 0; i < 10; ++i) taken += host.Call(1 << 20);
    EXPECT_EQ(taken, kInputBufferSize - 3);
    EXPECT_EQ(host.HeldCount(), kInputBufferSize - 3);
    EXPECT_EQ(host.calls.back().taken, 0u);
}

}  // namespace
}  // namespace avs::test
