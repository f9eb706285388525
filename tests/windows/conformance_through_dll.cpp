// The conformance streams named on the command line, decoded through the
// DLL's public interface exactly as the avsdec command does, on one thread
// and on four, each compared with its .md5 listing (NAME.avs or
// NAME.final.avs beside NAME.md5).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host_decoder.h"
#include "md5_listing.h"

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ListingPath(const std::string& stream) {
    const size_t name = stream.find_last_of("/\\") + 1;
    return stream.substr(0, stream.find('.', name)) + ".md5";
}

bool BitExact(const std::string& path, uint32_t threads) {
    const std::string bytes = ReadText(path);
    const std::string expected = ReadText(ListingPath(path));
    avs::tool::Md5Listing listing;
    avs::tool::HostDecoder decoder(
        {},
        [&](const avs::tool::Picture& picture) {
            listing.Add(picture);
            return true;
        },
        threads);
    decoder.Push({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    decoder.Finish();
    // The listings may end their lines either way.
    std::string listed;
    for (char c : expected) {
        if (c != '\r') listed += c;
    }
    const bool ok = !bytes.empty() && !listed.empty() && listing.Text() == listed;
    std::printf("%s %s, %u thread(s): %u pictures\n", ok ? "bit-exact" : "DIFFERENT", path.c_str(),
                threads, decoder.Pictures());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    int passed = 0, failed = 0;
    for (int i = 1; i < argc; ++i) {
        for (const uint32_t threads : {1u, 4u}) (BitExact(argv[i], threads) ? passed : failed)++;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
