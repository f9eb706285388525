#include "decode/inter_picture.h"

#include <algorithm>

#include "decode/coefficients.h"
#include "decode/intra_macroblock.h"
#include "decode/intra_prediction.h"

namespace avs {

void BeginInterMacroblock(MacroblockInfo& mb, const SliceState& slice) {
    mb = MacroblockInfo{};
    mb.qp = slice.qp;
    mb.sliceNumber = slice.number;
    for (int8_t& mode : mb.lumaPredMode) mode = kLumaDc;
}

}  // namespace avs
