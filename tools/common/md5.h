// MD5 (RFC 1321), for hashing decoded pictures in the form the conformance
// .md5 files use.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace avs::tool {

class Md5 {
  public:
    Md5();
    void Update(std::span<const uint8_t> bytes);
    // The digest; the object must not be updated afterwards.
    std::array<uint8_t, 16> Finish();
    // Finish() as 32 lower-case hex digits.
    std::string FinishHex();

  private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 4> state_;
    std::array<uint8_t, 64> buffer_;
    uint64_t length_ = 0;  // bytes hashed so far
};

// Hex digest of the concatenation of `parts`.
std::string Md5Hex(std::initializer_list<std::span<const uint8_t>> parts);

}  // namespace avs::tool
