#include "input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace avs::tool {
namespace {

class StdioInput final : public Input {
  public:
    StdioInput(std::FILE* file, std::string name, bool owned)
        : file_(file), name_(std::move(name)), owned_(owned) {}
    ~StdioInput() override {
        if (owned_) std::fclose(file_);
    }

    size_t Read(std::span<uint8_t> buffer) override {
        errno = 0;
        const size_t n = std::fread(buffer.data(), 1, buffer.size(), file_);
        if (n == 0 && std::ferror(file_)) {
            error_ = "cannot read '" + name_ + "': " + std::strerror(errno != 0 ? errno : EIO);
        }
        return n;
    }

  private:
    std::FILE* file_;
    std::string name_;
    bool owned_;
};

}  // namespace

std::unique_ptr<Input> OpenInput(const std::string& path, std::string* error) {
    if (path == "-") return std::make_unique<StdioInput>(stdin, "standard input", false);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *error = "cannot open '" + path + "': " + std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<StdioInput>(file, path, true);
}

}  // namespace avs::tool
