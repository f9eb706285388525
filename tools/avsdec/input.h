// Input modules: where the stream's bytes come from.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace avs::tool {

class Input {
  public:
    virtual ~Input() = default;
    // Fills up to buffer.size() bytes; 0 at the end of the input or on an
    // error (then Error() is not empty).
    virtual size_t Read(std::span<uint8_t> buffer) = 0;
    const std::string& Error() const { return error_; }

  protected:
    std::string error_;
};

// A file, or standard input for "-". nullptr with *error set when it cannot be opened.
std::unique_ptr<Input> OpenInput(const std::string& path, std::string* error);

}  // namespace avs::tool
