// The decode driver's bookkeeping around pictures: results, status, display
// order and the flushes at sequence ends, unit by unit.
#include "decode/driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bitstream/start_codes.h"
#include "bitstream/test_units.h"
#include "decode/kernel_table.h"
#include "support/test_paths.h"

namespace avs::test {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kSequenceEnd = {0, 0, 1, kSequenceEndCode};

// Collects units with the input scan and decodes each with the driver, the
// way the decoder's Parse and Decode operations do.
class Driver {
  public:
    // A decoder's initialisation would fill the kernel table; here nothing does.
    Driver() {
        input_.Reset();
        FillKernelTable();
    }

    // Offers the unit followed by the start code that ends it and decodes it.
    int32_t Decode(const Bytes& unit, const Bytes& next = kSequenceEnd) {
        Bytes bytes = unit;
        bytes.insert(bytes.end(), next.begin(), next.begin() + 4);
        return ScanAndDecode(bytes);
    }
    // A sequence end on its own.
    int32_t End() { return ScanAndDecode(kSequenceEnd); }

    DecodingState& state() { return state_; }
    const StreamStatus& status() const { return status_; }
    std::string Text() const { return status_.text; }

  private:
    int32_t ScanAndDecode(const Bytes& bytes) {
        uint32_t taken = 0;
        EXPECT_EQ(Parse(input_, bytes.data(), static_cast<uint32_t>(bytes.size()), &taken, status_,
                        state_.headers.sequence),
                  1);
        const int32_t result = DecodeUnit(state_, status_, input_.buffer.get(), input_.count);
        input_.count = 0;
        return result;
    }

    HeldInput input_;
    StreamStatus status_;
    DecodingState state_;
};

class DriverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        units_ = SplitIntoUnits(ReadFile(DataDir() / "i_qcif_q20.avs"));
        ASSERT_GE(units_.size(), 4u);
        ASSERT_EQ(units_[0][3], kSequenceHeaderCode);
        ASSERT_EQ(units_[1][3], kIPictureCode);
        ASSERT_EQ(units_[3][3], kIPictureCode);
    }
    const Bytes& Sequence() const { return units_[0]; }
    const Bytes& IPicture(int i) const { return units_[1 + 2 * i]; }

    std::vector<Bytes> units_;
};

TEST_F(DriverTest, ALoneIPictureWaitsForTheSequenceEnd) {
    Driver d;
    EXPECT_EQ(d.Decode(Sequence()), kResultNothing);
    EXPECT_EQ(d.status().word, kStatusUnitHeld);
    EXPECT_EQ(d.Text(), "Sequence header succesfully read");

    EXPECT_EQ(d.Decode(IPicture(0)), kResultIPicture);
    EXPECT_EQ(d.status().word, kStatusIdle);
    EXPECT_EQ(d.Text(), "I-frame succesfully decoded");
    EXPECT_EQ(d.state().deliveryFlag, 0u);

    EXPECT_EQ(d.End(), kResultSequenceEnd | static_cast<int32_t>(kDelivered));
    EXPECT_EQ(d.state().deliveryFlag, kDelivered);
    // A second sequence end hands out the same picture again.
    d.state().deliveryFlag = 0;
    EXPECT_EQ(d.End(), kResultSequenceEnd | static_cast<int32_t>(kDelivered));
}

TEST_F(DriverTest, EverySequenceIsReorderedLikeTheFirst) {
    Driver d;
    d.Decode(Sequence());
    EXPECT_EQ(d.Decode(IPicture(0)), kResultIPicture);
    // The second reference hands out the first.
    EXPECT_EQ(d.Decode(IPicture(1)), kResultIPicture | static_cast<int32_t>(kDelivered));
    EXPECT_EQ(d.End(), kResultSequenceEnd | static_cast<int32_t>(kDelivered));
    // After the flush, a new sequence starts empty: its first picture waits.
    d.Decode(Sequence());
    EXPECT_EQ(d.state().frames.queue.count, 0);
    EXPECT_EQ(d.Decode(IPicture(0)), kResultIPicture);
}

TEST_F(DriverTest, ANewPictureSizeEmptiesTheQueueAndThePictureBuffer) {
    Driver d;
    d.Decode(Sequence());
    d.Decode(IPicture(0));
    d.Decode(IPicture(1));
    ASSERT_NE(d.state().frames.picture.width, 0u);
    EXPECT_EQ(d.Decode(SequenceUnit(64, 48)), kResultNothing);
    EXPECT_EQ(d.state().frames.queue.count, 0);
    EXPECT_EQ(d.state().frames.picture.width, 0u);
    EXPECT_EQ(d.state().frames.picture.frame, nullptr);
    // Nothing of the old size is left to flush.
    EXPECT_EQ(d.End(), kResultSequenceEnd);
    // The same size keeps what is queued.
    d.Decode(Sequence());
    d.Decode(IPicture(0));
    d.Decode(Sequence());
    EXPECT_EQ(d.state().frames.queue.count, 1);
}

TEST_F(DriverTest, PicturesThatCannotBeDecodedDeliverNothing) {
    Driver d;
    d.Decode(Sequence());
    d.Decode(IPicture(0));
    // A B picture with a single reference is skipped.
    const Bytes bPicture = {0, 0, 1, kPbPictureCode, 0xFF, 0xFF, 0x80 | 0x01, 0x23, 0xC0};
    EXPECT_EQ(d.Decode(bPicture), kResultBPicture);
    EXPECT_EQ(d.status().word, kStatusIdle);
    EXPECT_EQ(d.state().deliveryFlag, 0u);
    // Coding types 0 and 3 are no pictures at all.
    for (uint8_t type : {0x00, 0xC0}) {
        const Bytes unknown = {0, 0, 1, kPbPictureCode, 0xFF, 0xFF, type, 0x23, 0xC0};
        EXPECT_EQ(d.Decode(unknown), kResultNothing);
    }
    EXPECT_EQ(d.state().frames.queue.count, 1);
}

}  // namespace
}  // namespace avs::test
