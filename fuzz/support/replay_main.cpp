// Runs a harness's entry point over files outside the fuzzing engine: every file named on the
// command line, and every file in every directory named (in name order). Missing directories
// count as empty. Exits non-zero only when the entry point itself fails (crashes abort).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> files;
    for (int k = 1; k < argc; ++k) {
        const std::filesystem::path p(argv[k]);
        if (std::filesystem::is_directory(p)) {
            for (const auto& e : std::filesystem::directory_iterator(p))
                if (e.is_regular_file()) files.push_back(e.path());
        } else if (std::filesystem::exists(p)) {
            files.push_back(p);
        }
    }
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::fprintf(stderr, "replay %s (%zu bytes)\n", f.string().c_str(), bytes.size());
        // The engine hands over a buffer of exactly the input's size; so does this.
        std::vector<std::uint8_t> exact(bytes);
        if (LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size()) != 0) return 1;
    }
    std::fprintf(stderr, "%zu inputs replayed\n", files.size());
    return 0;
}
