// PLACEHOLDER: replaced by the foundation work.
#include "api/decoder.h"
#include "avsdec.h"
#include "bitstream/headers.h"
#include "bitstream/start_codes.h"
#include "decode/driver.h"

extern "C" AVSDEC_API AVS_Video_stream* AVSDEC_CALL open_AVS_Video_stream(void) { return nullptr; }

namespace avs {

AvsDecoder* CreateDecoder() { return nullptr; }
void DestroyDecoder(AvsDecoder*) {}
void DeleteDecoder(AvsDecoder*) {}
void SetStatusText(DecoderContext&, const char*) {}
int32_t Parse(DecoderContext&, const uint8_t*, uint32_t, uint32_t* taken) {
    *taken = 0;
    return 0;
}
int32_t ReadUnitHeader(DecoderContext&, BitReader&) { return -1; }
bool IsSliceStart(const BitReader&, uint32_t) { return false; }
void ParseSequenceHeader(BitReader&, SequenceHeader&) {}
void ParseIPictureHeader(BitReader&, const SequenceHeader&, PictureHeader&) {}
void ParsePbPictureHeader(BitReader&, const SequenceHeader&, PictureHeader&) {}
void ParseSliceHeader(BitReader&, const SequenceHeader&, const PictureHeader&, uint32_t,
                      uint32_t, uint32_t, SliceHeader& slice) {
    slice = SliceHeader::Defaults();
}
int32_t DecodeUnit(DecoderContext&, uint8_t*, uint32_t) { return 0; }

}  // namespace avs
