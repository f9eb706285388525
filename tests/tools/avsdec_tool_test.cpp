// The avsdec program as people run it: exit status, standard error and the
// files it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/test_paths.h"
#include "tools/container_builder.h"

namespace avs::test {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string out;  // standard output
    std::string err;  // standard error
};

std::string ReadText(const fs::path& path) {
    const std::vector<uint8_t> bytes = ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

class AvsdecTool : public testing::Test {
  protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("avsdec_tool_" + std::to_string(getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path Temp(const std::string& name) const { return dir_ / name; }

    // Runs avsdec with `args` (already quoted where needed) in the test's
    // own directory, where relative output names land.
    Outcome Run(const std::string& args) const {
        const std::string command = "cd " + Quote(dir_) + " && '" + AVSDEC_TOOL_PATH + "' " + args +
                                    " >'" + Temp("stdout").string() + "' 2>'" +
                                    Temp("stderr").string() + "'";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(Temp("stdout")),
                ReadText(Temp("stderr"))};
    }

    static std::string Quote(const fs::path& p) {
        std::string quoted = "'";  // built in steps: GCC 12 warns falsely on "'" + s + "'"
        quoted += p.string();
        quoted += '\'';
        return quoted;
    }

    fs::path dir_;
};

TEST_F(AvsdecTool, ErrorsGiveOneLineAndStatusOne) {
    const fs::path stream = DataDir() / "i_qcif_q20.avs";
    const std::pair<std::string, std::string> cases[] = {
        {"", "no input given"},
        {Quote(stream), "no output given"},
        {Quote(Temp("missing.avs")) + " -o x.md5", "cannot open"},
        {Quote(stream) + " -o " + Quote(Temp("no/such/dir/x.md5")), "cannot write"},
        {Quote(stream) + " -o x.mkv", "cannot tell the format"},
        {Quote(stream) + " --muxer avi -o x", "unknown muxer"},
        {Quote(stream) + " -o x.md5 --format yuy2", "--format applies to raw output"},
        {Quote(stream) + " -o x.raw --format nv12", "unknown --format"},
        {Quote(stream) + " -o x.md5 --frames 0", "--frames takes"},
        {Quote(stream) + " -o x.md5 --chunk", "--chunk needs a value"},
        {Quote(stream) + " -o x.md5 --fast", "unknown option --fast"},
        {Quote(stream) + " -o x.md5 --pid 0x1fff", "--pid takes"},
        {Quote(stream) + " -o x.md5 --pid 256", "--pid applies to transport streams"},
        {Quote(stream) + " -o " + Quote(Temp("a%d%d.bmp")), "not a BMP file name"},
        {Quote(stream) + " -o x.bmp", "'x.bmp' holds one picture: number the files with %d"},
    };
    for (const auto& [args, message] : cases) {
        Outcome o = Run(args);
        EXPECT_EQ(o.status, 1) << args;
        EXPECT_EQ(o.err.rfind("avsdec: ", 0), 0u) << args << ": " << o.err;
        EXPECT_NE(o.err.find(message), std::string::npos) << args << ": " << o.err;
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << args << ": " << o.err;
    }
    // Help and version are answers, not errors.
    const Outcome help = Run("--help"), version = Run("--version");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: avsdec INPUT -o OUTPUT"), std::string::npos);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("avsdec ", 0), 0u);
}

// Decoding tests: the md5 output is compared byte for byte (as `cmp` does)
// with the stream's conformance listing.
constexpr uint8_t kIStart[] = {0, 0, 1, 0xB3};

class AvsdecDecode : public AvsdecTool {
  protected:
    const fs::path stream_ = DataDir() / "i_qcif_q20.avs";
    const std::string expected_ = ReadText(DataDir() / "i_qcif_q20.md5");
};

// Without its sequence end the last picture still comes out (the tool feeds
// one); with a second one it does not come out twice.
TEST_F(AvsdecDecode, Md5OutputMatchesTheConformanceListing) {
    std::vector<uint8_t> bytes = ReadFile(stream_);
    ASSERT_GE(bytes.size(), 4u);
    bytes.resize(bytes.size() - 4);
    WriteBytes(Temp("open.avs"), bytes);
    bytes.insert(bytes.end(), {0, 0, 1, 0xB1, 0, 0, 1, 0xB1});
    WriteBytes(Temp("twice.avs"), bytes);
    for (const std::string& input : {Quote(stream_), Quote(Temp("open.avs")) + " --chunk 1",
                                     "- <" + Quote(Temp("twice.avs"))}) {
        Outcome o = Run(input + " -o " + Quote(Temp("out.md5")));
        EXPECT_EQ(o.status, 0) << input << ": " << o.err;
        EXPECT_EQ(ReadText(Temp("out.md5")), expected_) << input;
        // Not a terminal: no progress, just the summary line.
        EXPECT_EQ(o.err.rfind("avsdec: 6 pictures, 176x144, ", 0), 0u) << o.err;
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    }
}

TEST_F(AvsdecDecode, PictureFilesHaveTheirFormatsSizes) {
    constexpr size_t kW = 176, kH = 144, kPictures = 6, kI420 = kW * kH * 3 / 2;
    struct Case {
        std::string args;
        std::string file;
        size_t bytes;
    };
    const std::string header = "YUV4MPEG2 W176 H144 F25:1 Ip A1:1 C420jpeg\n";
    const Case cases[] = {
        {"-o out.yuv", "out.yuv", kPictures * kI420},
        {"-o out.y4m", "out.y4m", header.size() + kPictures * (6 + kI420)},
        {"-o out.raw", "out.raw", kPictures * kI420},
        {"-o out.raw --format uyvy", "out.raw", kPictures * kW * kH * 2},
        {"-o out.raw --format bgr4", "out.raw", kPictures * kW * kH * 4},
        {"-o out%02d.bmp --frames 2", "out01.bmp", 54 + kW * 3 * kH},
        {"-o one.bmp --frames 1", "one.bmp", 54 + kW * 3 * kH},
        {"--muxer null", "", 0},
    };
    for (const Case& c : cases) {
        Outcome o = Run(Quote(stream_) + " " + c.args);
        EXPECT_EQ(o.status, 0) << c.args << ": " << o.err;
        if (c.file.empty()) continue;
        EXPECT_EQ(fs::file_size(Temp(c.file)), c.bytes) << c.args;
        fs::remove(Temp(c.file));
    }
    EXPECT_TRUE(fs::exists(Temp("out00.bmp")));
    EXPECT_FALSE(fs::exists(Temp("out02.bmp")));
}

// Each fails with one line and leaves no output file behind.
TEST_F(AvsdecDecode, InputsWithoutPicturesAreErrors) {
    WriteBytes(Temp("junk.avs"), std::vector<uint8_t>(1000, 0x55));
    std::vector<uint8_t> bytes = ReadFile(stream_);
    bytes.erase(std::search(bytes.begin(), bytes.end(), std::begin(kIStart), std::end(kIStart)),
                bytes.end());
    WriteBytes(Temp("header_only.avs"), bytes);
    WriteBytes(Temp("picture_only.avs"), {0, 0, 1, 0xB3, 0x12, 0x34, 0x56, 0, 0, 1, 0xB1});
    TsBuilder ts;
    ts.Pat(0x1000).Pmt(0x1000, {{0x1B, 0x100}, {0x03, 0x101}});
    WriteBytes(Temp("other_video.ts"), ts.stream);
    for (auto [name, message] : {
             std::pair{"junk.avs", "is neither an AVS elementary stream nor an MPEG-2 transport"},
             {"picture_only.avs", "no sequence header in"},
             {"header_only.avs", "no picture could be decoded from"},
             {"other_video.ts",
              "without AVS video (stream_type 0x42); its programmes carry "
              "stream types 0x1b, 0x03"},
         }) {
        Outcome o = Run(Quote(Temp(name)) + " -o out.y4m");
        EXPECT_EQ(o.status, 1) << name;
        EXPECT_NE(o.err.find(message), std::string::npos) << name << ": " << o.err;
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
        EXPECT_FALSE(fs::exists(Temp("out.y4m"))) << name;
    }
}

// The transport and program streams carry f_ipb_cif: the same listing from
// each, whether named or on standard input.
TEST_F(AvsdecTool, ContainersGiveTheirStreamsPictures) {
    const std::string expected = ReadText(DataDir() / "f_ipb_cif.md5");
    for (const char* name : {"f_ipb_cif.ts", "f_ipb_cif_audio.ts", "f_ipb_cif.mpg"}) {
        for (const std::string from : {"", "- <"}) {
            Outcome o = Run(from + Quote(DataDir() / name) + " -o out.md5");
            EXPECT_EQ(o.status, 0) << from << name << ": " << o.err;
            EXPECT_EQ(ReadText(Temp("out.md5")), expected) << from << name;
            EXPECT_EQ(o.err.rfind("avsdec: 30 pictures, 352x288, ", 0), 0u) << o.err;
        }
    }
}

// Two gaps in the video packets: one warning, for the first, and the run
// goes on. (Other damage: see the input tests.)
TEST_F(AvsdecTool, LostPacketsAreWarnedOfOnce) {
    std::vector<uint8_t> ts = ReadFile(DataDir() / "f_ipb_cif_audio.ts");
    ts.erase(ts.begin() + 188 * 600, ts.begin() + 188 * 602);
    ts.erase(ts.begin() + 188 * 300, ts.begin() + 188 * 304);
    WriteBytes(Temp("lost.ts"), ts);
    Outcome o = Run("- --muxer md5 -o - <" + Quote(Temp("lost.ts")));
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("# 352x288"), std::string::npos);
    const std::string warning = "avsdec: warning: ";
    const size_t at = o.err.find(warning);
    EXPECT_NE(o.err.find("packets of PID 0x0300 are missing (first before byte 56400)", at),
              std::string::npos)
        << o.err;
    EXPECT_EQ(o.err.find(warning, at + 1), std::string::npos) << o.err;
}

}  // namespace
}  // namespace avs::test
