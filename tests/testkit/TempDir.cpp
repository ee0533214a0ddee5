#include "TempDir.h"

#include <atomic>
#include <random>
#include <unistd.h>

namespace sonlet::testkit {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device seed;
    const auto name = "sonlet-test-" + std::to_string(::getpid()) + "-" +
                      std::to_string(counter++) + "-" + std::to_string(seed());
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests may remove write permission from folders; give it back so everything goes.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, std::span<const std::uint8_t> bytes) const {
    const std::string path = File(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::filesystem::path CorpusDir(const std::string& kind) {
    const std::filesystem::path dir = std::filesystem::path(SONLET_CORPUS_DIR) / kind;
    std::error_code ec;
    return std::filesystem::is_directory(dir, ec) ? dir : std::filesystem::path();
}

} // namespace sonlet::testkit
