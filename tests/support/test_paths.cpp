#include "support/test_paths.h"

#include <fstream>
#include <iterator>

namespace avs::test {

std::filesystem::path DataDir() {
    return AVSDEC_TEST_DATA_DIR;
}

std::filesystem::path SharedDir() {
    std::filesystem::path dir = AVSDEC_SHARED_DIR;
    std::error_code ec;
    return std::filesystem::is_directory(dir / "vectors", ec) ? dir : std::filesystem::path{};
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace avs::test
