// Whole-file reading and atomic writing.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lnd {

struct IoResult {
    bool ok = true;
    std::string message;   // empty on success; otherwise what failed, with the system's reason
    explicit operator bool() const { return ok; }
};

// Reads a whole file. Refuses files larger than `maxBytes` rather than allocating for them.
IoResult readWholeFile(const std::string& path, std::vector<std::uint8_t>& out,
                       std::uint64_t maxBytes = std::uint64_t(1) << 32);

// Writes `data` to a temporary file beside `path`, flushes it to disk and renames it over
// `path`. On any failure the temporary file is removed and `path` is left as it was.
IoResult writeFileAtomic(const std::string& path, std::span<const std::uint8_t> data);

}  // namespace lnd
