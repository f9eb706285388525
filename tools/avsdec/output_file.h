// A file the output modules write, or standard output for "-"; every
// failure is kept with its reason.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace avs::tool {

class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Open(const std::string& path);
    bool Write(std::span<const uint8_t> bytes);
    bool Write(std::string_view text);
    // Flushes and closes; false when anything written was lost.
    bool Close();
    // "cannot write 'PATH': REASON".
    const std::string& Error() const { return error_; }

  private:
    bool Fail();

    std::FILE* file_ = nullptr;
    std::string path_;
    std::string error_;
};

}  // namespace avs::tool
