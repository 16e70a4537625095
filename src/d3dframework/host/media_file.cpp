#include "d3dframework/host/media_file.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace lnd {

namespace {

bool opensForReading(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        return false;   // fopen would succeed on a directory, but it is no media file
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return false;
    }
    std::fclose(f);
    return true;
}

}  // namespace

std::string fileNamePart(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

HostResult locateMediaFile(std::string* result, const char* name, const std::string& mediaDir) {
    if (result == nullptr || name == nullptr) {
        return kHostInvalidArg;
    }
    const std::string given(name);
    std::string normalised = given;
    for (char& c : normalised) {
        if (c == '\\') {
            c = '/';
        }
    }
    std::error_code ec;
    const std::filesystem::path full =
        normalised.empty() ? std::filesystem::path() : std::filesystem::absolute(normalised, ec);
    const std::string fullPath = ec ? std::string() : full.lexically_normal().string();
    if (fullPath.empty() || fullPath.size() > kMaxMediaPath) {
        return kHostFail;
    }
    if (opensForReading(fullPath)) {
        *result = fullPath;
        return kHostOk;
    }
    const std::string shortName = fileNamePart(given);
    if (opensForReading(shortName)) {
        *result = shortName;
        return kHostOk;
    }
    const std::string inMedia = mediaDir + "/" + shortName;
    if (!shortName.empty() && opensForReading(inMedia)) {
        *result = inMedia;
        return kHostOk;
    }
    *result = given;
    return kHostFail;
}

}  // namespace lnd
