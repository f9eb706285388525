#include "md5.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace avs::tool {
namespace {

constexpr std::array<uint32_t, 64> kSine = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};
constexpr std::array<int, 16> kShift = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

uint32_t LoadLe32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, buffer_{} {}

void Md5::Block(const uint8_t* block) {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i) m[i] = LoadLe32(block + 4 * i);
    auto [a, b, c, d] = state_;
    for (int i = 0; i < 64; ++i) {
        const int round = i / 16;
        uint32_t f;
        int g;
        switch (round) {
            case 0:
                f = (b & c) | (~b & d), g = i;
                break;
            case 1:
                f = (d & b) | (~d & c), g = (5 * i + 1) & 15;
                break;
            case 2:
                f = b ^ c ^ d, g = (3 * i + 5) & 15;
                break;
            default:
                f = c ^ (b | ~d), g = (7 * i) & 15;
                break;
        }
        const uint32_t rotated = std::rotl(a + f + kSine[i] + m[g], kShift[4 * round + (i & 3)]);
        a = d;
        d = c;
        c = b;
        b += rotated;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void Md5::Update(std::span<const uint8_t> bytes) {
    size_t used = length_ & 63;
    length_ += bytes.size();
    const uint8_t* p = bytes.data();
    size_t n = bytes.size();
    if (used != 0) {
        const size_t take = std::min(n, 64 - used);
        std::memcpy(buffer_.data() + used, p, take);
        p += take;
        n -= take;
        if (used + take < 64) return;
        Block(buffer_.data());
    }
    for (; n >= 64; p += 64, n -= 64) Block(p);
    std::memcpy(buffer_.data(), p, n);
}

std::array<uint8_t, 16> Md5::Finish() {
    const uint64_t bits = length_ * 8;
    const uint8_t pad = 0x80;
    Update({&pad, 1});
    const uint8_t zero[64] = {};
    Update({zero, static_cast<size_t>((56 - (length_ & 63)) & 63)});
    uint8_t tail[8];
    for (int i = 0; i < 8; ++i) tail[i] = static_cast<uint8_t>(bits >> (8 * i));
    Update(tail);
    std::array<uint8_t, 16> digest;
    for (int i = 0; i < 16; ++i) digest[i] = static_cast<uint8_t>(state_[i / 4] >> (8 * (i % 4)));
    return digest;
}

std::string Md5::FinishHex() {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t byte : Finish()) {
        hex += kHex[byte >> 4];
        hex += kHex[byte & 15];
    }
    return hex;
}

std::string Md5Hex(std::initializer_list<std::span<const uint8_t>> parts) {
    Md5 md5;
    for (auto part : parts) md5.Update(part);
    return md5.FinishHex();
}

}  // namespace avs::tool
