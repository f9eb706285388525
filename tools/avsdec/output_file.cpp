#include "output_file.h"

#include <cerrno>
#include <cstring>

namespace avs::tool {

OutputFile::~OutputFile() {
    Close();
}

bool OutputFile::Fail() {
    if (error_.empty()) {
        error_ = "cannot write '" + path_ + "': " + std::strerror(errno != 0 ? errno : EIO);
    }
    return false;
}

bool OutputFile::Open(const std::string& path) {
    path_ = path;
    errno = 0;
    file_ = path == "-" ? stdout : std::fopen(path.c_str(), "wb");
    return file_ != nullptr || Fail();
}

bool OutputFile::Write(std::span<const uint8_t> bytes) {
    if (file_ == nullptr) return Fail();
    errno = 0;
    return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size() || Fail();
}

bool OutputFile::Write(std::string_view text) {
    return Write({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

bool OutputFile::Close() {
    if (file_ == nullptr) return error_.empty();
    errno = 0;
    const bool flushed = std::fflush(file_) == 0 && std::ferror(file_) == 0;
    const bool closed = file_ == stdout || std::fclose(file_) == 0;
    file_ = nullptr;
    return (flushed && closed) || Fail();
}

void OutputFile::Discard() {
    if (file_ == nullptr || file_ == stdout) return;
    std::fclose(file_);
    file_ = nullptr;
    std::remove(path_.c_str());
}

}  // namespace avs::tool
