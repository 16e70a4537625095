// Helpers shared by the harnesses: a scratch file per process for entry points that take a path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lndfuzz {

// A path under the temporary directory unique to this process and `tag`, removed at exit.
const std::string& scratchPath(const char* tag);

// Writes the bytes to scratchPath(tag) and returns the path.
const std::string& writeScratch(const char* tag, const std::uint8_t* data, std::size_t size);

}  // namespace lndfuzz
