#include "bitstream/start_codes.h"

#include <algorithm>
#include <cstring>

#include "bitstream/headers.h"

namespace avs {
namespace {

// Input is copied into the buffer in growing steps, so a host that hands over
// a large piece does not pay for copying bytes beyond the unit it completes.
// The scan's results do not depend on the step: a step whose scan needs bytes
// it does not hold asks for the next one.
constexpr uint32_t kFirstCopyStep = 64 * 1024;

// Bytes of the sequence header that the early look at its fields needs.
constexpr uint32_t kQuickSequenceBytes = 14;

constexpr bool EndsUnit(uint8_t v) {
    return v == kSequenceHeaderCode || v == kSequenceEndCode || v == kIPictureCode ||
           v == kPbPictureCode;
}

// First offset i in [from, total - 4] where a prefix 00 00 01 starts and the
// value byte after it satisfies `accept`; total when there is none. Looks for
// the 01 with memchr, which is far faster than stepping through every byte.
template <typename Accept>
uint32_t FindStartCode(const uint8_t* d, uint32_t from, uint32_t total, Accept accept) {
    if (total < 4 || from > total - 4) return total;
    const uint8_t* p = d + from + 2;
    const uint8_t* const last = d + total - 2;  // the 01 of the last complete start code
    while (p <= last) {
        p = static_cast<const uint8_t*>(std::memchr(p, 1, static_cast<size_t>(last - p) + 1));
        if (p == nullptr) break;
        if (p[-1] == 0 && p[-2] == 0 && accept(p[1])) return static_cast<uint32_t>(p - 2 - d);
        ++p;
    }
    return total;
}

struct UnitEnd {
    bool found;
    uint32_t length;  // payload bytes: up to the end code, or kept while incomplete
};

// Looks for the picture-level start code that ends the unit whose payload
// starts at `payload`. Offsets below `from` are known not to hold one. An
// incomplete unit keeps all but the last three bytes (they may begin the end
// code), and never fewer than `keep` bytes from the buffer start.
UnitEnd FindUnitEnd(const uint8_t* d, uint32_t payload, uint32_t from, uint32_t total,
                    uint32_t keep) {
    const uint32_t end = FindStartCode(d, std::max(from, payload), total, EndsUnit);
    if (end < total) return {true, end - payload};
    const uint32_t kept = std::max(total >= 3 ? total - 3 : 0, keep);
    return {false, kept > payload ? kept - payload : 0};
}

enum class Scan { Complete, Incomplete, Rejected, NoPrefix, NeedMore };

struct ScanResult {
    Scan kind;
    uint32_t a;  // just past the unit's value byte; without a prefix: offsets passed over
    uint32_t b;  // payload length (complete) or payload bytes kept (incomplete)
};

// The sequence fields from the bytes after a B0 value byte, before the unit
// is complete, so the host can read the picture size early.
void QuickSequenceHeader(SequenceHeader& sequence, const uint8_t* bytes) {
    uint8_t unit[4 + kQuickSequenceBytes + kUnitPadding] = {0, 0, 1, kSequenceHeaderCode};
    std::memcpy(unit + 4, bytes, kQuickSequenceBytes);
    BitReader br(unit, 4 + kQuickSequenceBytes);
    ParseSequenceHeader(br, sequence);
}

// One pass over the `total` bytes at `d`. `held` bytes were held before this
// call: when they are a unit (they start with its prefix), every offset whose
// four bytes were all held has been searched for the unit end already. With
// `more` set, further input can be copied in, and the scan stops with
// NeedMore instead of giving a result that more bytes could change.
ScanResult ScanUnit(StreamStatus& status, SequenceHeader& sequence, const uint8_t* d,
                    uint32_t total, uint32_t held, bool more) {
    const uint32_t s = FindStartCode(d, 0, total, [](uint8_t) { return true; });
    if (s == total) return {more ? Scan::NeedMore : Scan::NoPrefix, total - 3, 0};

    // Only the first unit can be the one held; the ones after it are new.
    const bool resume = s == 0 && held >= 4;
    uint32_t from = resume ? held - 3 : 0;
    uint32_t keep = resume ? held : 0;
    uint32_t a = s + 3;
    for (;;) {
        const uint8_t v = d[a];
        a += 1;
        UnitEnd end{};
        switch (v) {
            case kSequenceEndCode:
                status.Set(kStatusSequenceEnd, "User data saccesfully read");
                return {Scan::Complete, a, 0};
            case kSequenceHeaderCode:
                if (total - a >= kQuickSequenceBytes) {
                    QuickSequenceHeader(sequence, d + a);
                } else if (more) {
                    return {Scan::NeedMore, a, 0};
                }
                status.Set(kStatusHeaderRead, "Sequence header succesfully read");
                end = FindUnitEnd(d, a, from, total, keep);
                if (end.found) status.Set(kStatusUnitHeld, "Sequence header succesfully read");
                break;
            case kIPictureCode:
                status.Set(kStatusHeaderRead, "I-frame header succesfully read");
                end = FindUnitEnd(d, a, from, total, keep);
                if (end.found) status.Set(kStatusUnitHeld, "I-frame succesfully read");
                break;
            case kPbPictureCode:
                status.Set(kStatusHeaderRead, "PB-frame header succesfully read");
                end = FindUnitEnd(d, a, from, total, keep);
                if (end.found) status.Set(kStatusUnitHeld, "PB-frame succesfully read");
                break;
            case kUserDataCode:
            case kExtensionCode: {
                // Passed over: the scan goes on with the unit that follows.
                const bool user = v == kUserDataCode;
                if (!user) status.Set(kStatusHeaderRead, "Extension header saccesfully read");
                end = FindUnitEnd(d, a, from, total, keep);
                if (!end.found) break;
                status.Set(kStatusUnitHeld, user ? "User data header succesfully read"
                                                 : "Extension saccesfully read");
                a += end.length + 3;
                from = 0;
                keep = 0;
                continue;
            }
            default:
                status.Set(kStatusBadStartCode, "Wrong stream: can't find startcode");
                return {Scan::Rejected, a, 0};
        }
        if (end.found) return {Scan::Complete, a, end.length};
        return {more ? Scan::NeedMore : Scan::Incomplete, a, end.length};
    }
}

// Bytes of this call's input that lie before `end` (an offset into the held run).
uint32_t TakenUpTo(uint32_t end, uint32_t held) {
    return end > held ? end - held : 0;
}

}  // namespace

bool HeldInput::Reset() {
    count = 0;
    if (buffer != nullptr) return true;
    buffer.reset(static_cast<uint8_t*>(AlignedAlloc(kInputBufferSize + kUnitPadding)));
    if (buffer == nullptr) return false;
    std::memset(buffer.get() + kInputBufferSize, 0, kUnitPadding);
    return true;
}

int32_t Parse(HeldInput& input, const uint8_t* data, uint32_t count, uint32_t* taken,
              StreamStatus& status, SequenceHeader& sequence) {
    *taken = 0;
    uint8_t* const buf = input.buffer.get();
    if (buf == nullptr) return 0;
    const uint32_t held = input.count;
    const uint32_t room = kInputBufferSize - held;
    const uint32_t available = data == nullptr ? 0 : std::min(count, room);

    uint32_t copied = std::min(available, kFirstCopyStep);
    if (copied > 0) std::memcpy(buf + held, data, copied);
    if (held + available < 4) return 0;

    ScanResult scan{};
    for (;;) {
        const bool more = copied < available;
        scan = ScanUnit(status, sequence, buf, held + copied, held, more);
        if (scan.kind != Scan::NeedMore) break;
        const uint32_t step = std::min(available - copied, std::max(copied, kFirstCopyStep));
        std::memcpy(buf + held + copied, data + copied, step);
        copied += step;
    }

    switch (scan.kind) {
        case Scan::Rejected:
            input.count = 0;
            *taken = TakenUpTo(scan.a, held);
            return -1;
        case Scan::Complete:
        case Scan::Incomplete: {
            // Keep the unit from its prefix on; the bytes before it are dropped.
            const uint32_t start = scan.a - 4;
            const uint32_t length = 4 + scan.b;
            if (start > 0) std::memmove(buf, buf + start, length);
            input.count = length;
            *taken = TakenUpTo(scan.a + scan.b, held);
            return scan.kind == Scan::Complete ? 1 : 0;
        }
        default: {
            // No prefix: the last bytes passed over stay held, since they may
            // begin a prefix that the next piece completes.
            const uint32_t passed = std::max(scan.a, held);
            const uint32_t keep = std::min(passed, 4u);
            std::memmove(buf, buf + passed - keep, keep);
            input.count = keep;
            *taken = passed - held;
            return 0;
        }
    }
}

}  // namespace avs
