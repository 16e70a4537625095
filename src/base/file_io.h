// Whole-file reading and safe writing.
#pragma once

#include "base/result.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lnd {

// Reads a whole file. Refuses files larger than `maxBytes` rather than allocating for them.
Result readWholeFile(const std::string& path, std::vector<std::uint8_t>& out,
                       std::uint64_t maxBytes = std::uint64_t(1) << 32);

// Saves `data` as the file at `path` without ever leaving a half-written file:
// - the bytes go to a temporary file beside the target, are synced and renamed over it; on any
//   failure the temporary is removed and the target is left as it was;
// - a symbolic link is followed: its final target is replaced and the link stays a link;
// - the file keeps its permission bits (a new file gets 0666 less the umask);
// - where the directory refuses a temporary file but the file itself is writable, the file is
//   overwritten in place from `data`; should that fail, its previous bytes are written back.
Result writeFileAtomic(const std::string& path, std::span<const std::uint8_t> data);

// Saves files that belong together (a picture and its side file) in order, each as
// writeFileAtomic does. When one fails, those already written get their previous bytes back
// (or are removed if they did not exist), so the set stays the old one or becomes the new one.
struct FileToWrite {
    std::string path;
    std::span<const std::uint8_t> data;
};
Result writeFilesAtomic(std::span<const FileToWrite> files);

// The extension of a path's last component with its dot, in lower case ("" when none);
// both '/' and '\\' separate components.
std::string lowerExtension(const std::string& path);

// Size of the pieces a save is written in (each is one write call that can fail).
inline constexpr std::size_t kWriteChunkBytes = 256 * 1024;

}  // namespace lnd
