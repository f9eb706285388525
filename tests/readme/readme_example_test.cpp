// Runs the README's C example, as the README shows it, on the sample streams:
// once as they are (ending with a sequence end) and once without their final
// sequence end. Either way use() must get every picture of the .md5 listing
// exactly once, in display order.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "md5.h"
#include "readme_host.h"

namespace {

struct Sample {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<std::string> pictures;  // "INDEX MD5", display order
};

Sample gSample;                       // the stream being decoded
std::vector<std::string> gDelivered;  // what use() got, as listing lines

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Sample ReadListing(const std::string& path) {
    Sample sample;
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line) ||
        std::sscanf(line.c_str(), "# %ux%u", &sample.width, &sample.height) != 2) {
        return {};
    }
    while (std::getline(in, line)) sample.pictures.push_back(line);
    return sample;
}

bool Check(const char* name, const char* variant, const std::vector<uint8_t>& stream) {
    gDelivered.clear();
    const int result = decode(stream.data(), static_cast<uint32_t>(stream.size()));
    const bool ok = result == 0 && gDelivered == gSample.pictures;
    std::printf("%s %s: %zu of %zu pictures%s\n", name, variant, gDelivered.size(),
                gSample.pictures.size(), ok ? "" : " -- FAILED");
    for (size_t i = 0; !ok && i < gDelivered.size(); ++i) {
        const bool same = i < gSample.pictures.size() && gDelivered[i] == gSample.pictures[i];
        std::printf("  delivered %s%s\n", gDelivered[i].c_str(), same ? "" : " (unexpected)");
    }
    return ok;
}

}  // namespace

// The example's pictures are YV12 (Y, Cr, Cb); the listing hashes Y, Cb, Cr.
extern "C" void use(const uint8_t* picture, uint32_t bytes) {
    const size_t luma = size_t{gSample.width} * gSample.height;
    const size_t chroma = size_t{gSample.width / 2} * (gSample.height / 2);
    if (bytes != luma + 2 * chroma) {
        gDelivered.push_back("picture of " + std::to_string(bytes) + " bytes");
        return;
    }
    gDelivered.push_back(
        std::to_string(gDelivered.size()) + ' ' +
        avs::tool::Md5Hex(
            {{picture, luma}, {picture + luma + chroma, chroma}, {picture + luma, chroma}}));
}

int main() {
    const uint8_t sequenceEnd[] = {0x00, 0x00, 0x01, 0xB1};
    int failed = 0;
    for (const char* name : {"ipb_208x120", "i_qcif_q20"}) {
        const std::string base = std::string(AVSDEC_TEST_DATA_DIR) + "/" + name;
        std::vector<uint8_t> stream = ReadBytes(base + ".avs");
        gSample = ReadListing(base + ".md5");
        if (stream.size() < 4 || gSample.pictures.empty() ||
            std::memcmp(stream.data() + stream.size() - 4, sequenceEnd, 4) != 0) {
            std::printf("%s: no stream ending with a sequence end, or no listing\n", name);
            return 1;
        }
        failed += !Check(name, "with its sequence end", stream);
        stream.resize(stream.size() - 4);
        failed += !Check(name, "without its sequence end", stream);
    }
    return failed == 0 ? 0 : 1;
}
