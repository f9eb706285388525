#include "decode/intra_macroblock.h"
#include "decode/picture_walk.h"
#include "decode/pictures.h"

namespace avs {
namespace {

// One I picture: every macroblock is intra.
class IPicture {
  public:
    static constexpr PictureType kType = PictureType::I;

    explicit IPicture(PictureState& state) : state_(state) {}

    bool Parse(BitReader& br, uint32_t mbX, uint32_t mbY, SkipRun&, MacroblockInfo& mb,
               MacroblockResidual& residual) {
        ParseIMacroblock(state_, br, mbX, mbY, mb, residual);
        return true;
    }

    void Reconstruct(uint32_t mbX, uint32_t mbY, const MacroblockInfo& mb,
                     MacroblockResidual& residual, ReconstructionScratch& scratch) const {
        ReconstructIntraMacroblock(state_.frame, mbX, mbY, mb, residual, scratch.intra);
    }

  private:
    PictureState& state_;
};

}  // namespace

void DecodeIPicture(PictureState& state, BitReader& br) {
    IPicture picture(state);
    WalkPicture(state, br, picture);
}

}  // namespace avs
