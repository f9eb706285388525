// A file the output modules write, or standard output for "-"; every
// failure is kept with its reason.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "output.h"

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
    // Closes and removes the file (not standard output).
    void Discard();
    // "cannot write 'PATH': REASON".
    const std::string& Error() const { return error_; }

  private:
    bool Fail();

    std::FILE* file_ = nullptr;
    std::string path_;
    std::string error_;
};

// A module that writes one file: opening and closing it, and keeping the
// reason of a failure, are the same for all of them.
class FileMuxer : public Muxer {
  public:
    bool Open(const std::string& path) override { return Check(file_.Open(path)); }
    bool Close() override { return Check(file_.Close()); }
    void Discard() override { file_.Discard(); }

  protected:
    bool Check(bool ok) {
        if (!ok) error_ = file_.Error();
        return ok;
    }

    OutputFile file_;
};

}  // namespace avs::tool
