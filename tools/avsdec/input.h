// Input modules: where the elementary stream's bytes come from. A file or
// standard input holds the stream itself, or an MPEG-2 transport or program
// stream that carries it; the content tells which, so standard input works
// for all three. Containers are taken apart here: the library only ever sees
// the elementary stream.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace avs::tool {

class Input {
  public:
    virtual ~Input() = default;
    // Fills up to buffer.size() bytes of the elementary stream; 0 at the end
    // of the input or on an error (then Error() is not empty).
    virtual size_t Read(std::span<uint8_t> buffer) = 0;
    const std::string& Error() const { return error_; }
    // The first damage the input stepped over (packets lost), for one
    // warning; empty while there was none.
    const std::string& Warning() const { return warning_; }
    // False when the end of the input says nothing about the end of the
    // stream: a recording may stop inside a picture, and the decoder must
    // then not complete that picture as if it were whole.
    virtual bool EndsAtUnitEnd() const { return true; }

  protected:
    std::string error_;
    std::string warning_;
};

enum class InputFormat { Elementary, Transport, Program, Unknown };

// What an input holds, told from its first bytes (or all of them, when fewer).
InputFormat DetectFormat(std::span<const uint8_t> head);

// `head`, then whatever `rest` gives (nothing when it is null).
std::unique_ptr<Input> BufferedInput(std::vector<uint8_t> head, std::unique_ptr<Input> rest);

// The AVS video carried in a container read from `source`; `name` names the
// input in messages. `pid` is the transport stream's video PID, or -1 for
// the first AVS video stream its programme tables list.
std::unique_ptr<Input> TransportStreamInput(std::unique_ptr<Input> source, std::string name,
                                            int pid);
std::unique_ptr<Input> ProgramStreamInput(std::unique_ptr<Input> source, std::string name);

// The CRC that ends every programme table section (0 over a whole intact section).
uint32_t SectionCrc(std::span<const uint8_t> bytes);

// The elementary stream in `source`, whatever carries it; `name` names it
// in messages, `pid` as above. nullptr with *error set when it holds none of
// the three formats (or cannot be read).
std::unique_ptr<Input> OpenInput(std::unique_ptr<Input> source, const std::string& name, int pid,
                                 std::string* error);
// The same for a file, or standard input for "-".
std::unique_ptr<Input> OpenInput(const std::string& path, int pid, std::string* error);

}  // namespace avs::tool
