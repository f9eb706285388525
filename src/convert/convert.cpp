// PLACEHOLDER: replaced by the output-conversion work.
#include "convert/convert.h"

namespace avs {

void DeliverPicture(const OutputPicture&, const uint8_t*, uint32_t) {}
void DeliverToBuffer(uint8_t*, const uint8_t*, uint32_t, uint32_t, uint32_t, int32_t) {}

}  // namespace avs
