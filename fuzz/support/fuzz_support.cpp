#include "support/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <unistd.h>

namespace lndfuzz {

namespace {

struct Scratch {
    std::map<std::string, std::string> paths;
    ~Scratch() {
        for (const auto& [tag, path] : paths) std::remove(path.c_str());
    }
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

}  // namespace

const std::string& scratchPath(const char* tag) {
    auto& paths = scratch().paths;
    auto it = paths.find(tag);
    if (it == paths.end()) {
        // Memory-backed where there is such a folder: saves sync their files.
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        const std::string path = (base /
                                  ("lnd-fuzz-" + std::to_string(::getpid()) + "-" + tag)).string();
        it = paths.emplace(tag, path).first;
    }
    return it->second;
}

const std::string& writeScratch(const char* tag, const std::uint8_t* data, std::size_t size) {
    const std::string& path = scratchPath(tag);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();   // the harness cannot work without its scratch file
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    return path;
}

}  // namespace lndfuzz
