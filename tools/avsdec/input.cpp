#include "input.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace avs::tool {
namespace {

// Enough to see the first start codes of any stream, or many transport
// packets, without seeking: standard input cannot go back.
constexpr size_t kDetectBytes = 65536;

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

class HeadThenRest final : public Input {
  public:
    HeadThenRest(std::vector<uint8_t> head, std::unique_ptr<Input> rest)
        : head_(std::move(head)), rest_(std::move(rest)) {}

    size_t Read(std::span<uint8_t> buffer) override {
        if (at_ < head_.size()) {
            const size_t n = std::min(buffer.size(), head_.size() - at_);
            std::copy_n(head_.begin() + static_cast<ptrdiff_t>(at_), n, buffer.begin());
            at_ += n;
            return n;
        }
        if (rest_ == nullptr) return 0;
        const size_t n = rest_->Read(buffer);
        if (n == 0) error_ = rest_->Error();
        return n;
    }

  private:
    std::vector<uint8_t> head_;
    size_t at_ = 0;
    std::unique_ptr<Input> rest_;
};

}  // namespace

std::unique_ptr<Input> BufferedInput(std::vector<uint8_t> head, std::unique_ptr<Input> rest) {
    return std::make_unique<HeadThenRest>(std::move(head), std::move(rest));
}

std::unique_ptr<Input> OpenInput(const std::string& path, int pid, std::string* error) {
    if (path == "-") {
        return OpenInput(std::make_unique<StdioInput>(stdin, "standard input", false),
                         "standard input", pid, error);
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *error = "cannot open '" + path + "': " + std::strerror(errno);
        return nullptr;
    }
    return OpenInput(std::make_unique<StdioInput>(file, path, true), path, pid, error);
}

std::unique_ptr<Input> OpenInput(std::unique_ptr<Input> source, const std::string& name, int pid,
                                 std::string* error) {
    std::vector<uint8_t> head(kDetectBytes);
    size_t held = 0;
    while (held < head.size()) {
        const size_t n = source->Read(std::span(head).subspan(held));
        if (n == 0) break;
        held += n;
    }
    if (!source->Error().empty()) {
        *error = source->Error();
        return nullptr;
    }
    head.resize(held);
    const InputFormat format = DetectFormat(head);
    if (pid >= 0 && format != InputFormat::Transport) {
        *error = "--pid applies to transport streams, and '" + name + "' is not one";
        return nullptr;
    }
    std::unique_ptr<Input> input = BufferedInput(std::move(head), std::move(source));
    switch (format) {
        case InputFormat::Elementary:
            return input;
        case InputFormat::Transport:
            return TransportStreamInput(std::move(input), name, pid);
        case InputFormat::Program:
            return ProgramStreamInput(std::move(input), name);
        case InputFormat::Unknown:
            break;
    }
    *error = held == 0 ? "'" + name + "' is empty"
                       : "'" + name +
                             "' is neither an AVS elementary stream nor an MPEG-2 transport or "
                             "program stream";
    return nullptr;
}

}  // namespace avs::tool
