#include "base/data_paths.h"

#include <pugixml.hpp>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace lnd {

namespace fs = std::filesystem;

namespace {

bool isFile(const fs::path& p) {
    std::error_code ec;
    return !p.empty() && fs::is_regular_file(p, ec);
}

bool isFolder(const fs::path& p) {
    std::error_code ec;
    return !p.empty() && fs::is_directory(p, ec);
}

// "./data\brushes/x.bmp" -> "data/brushes/x.bmp": the form joined under another folder.
std::string normalisedRelative(const std::string& relative) {
    std::string out = relative;
    for (char& c : out)
        if (c == '\\') c = '/';
    while (out.rfind("./", 0) == 0) out.erase(0, 2);
    return out;
}

// Why a configuration-folder settings file cannot be used, or empty when it can.
std::string unusableReason(const std::string& path) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_file(path.c_str());
    if (parsed) return {};
    if (parsed.status == pugi::status_file_not_found || parsed.status == pugi::status_io_error)
        return "it cannot be read";
    return std::string("it is not well-formed XML (") + parsed.description() + " at byte " +
           std::to_string(parsed.offset) + ")";
}

}  // namespace

std::string configFolder(const char* xdgConfigHome, const char* home) {
    // The base directory specification ignores relative values.
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/')
        return (fs::path(xdgConfigHome) / kProjectFolder).string();
    if (home != nullptr && home[0] != '\0') return (fs::path(home) / ".config" / kProjectFolder).string();
    return {};
}

std::string shareFolderOf(const std::string& executable) {
    if (executable.empty()) return {};
    const fs::path program(executable);
    return (program.parent_path().parent_path() / "share" / kProjectFolder).lexically_normal().string();
}

DataPlaces DataPlaces::ofProcess() {
    DataPlaces places;
    std::error_code ec;
    const fs::path start = fs::current_path(ec);
    places.start = (ec ? fs::path(".") : start).string();
    places.config = configFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) places.share = shareFolderOf(self.string());
    return places;
}

SettingsChoice findSettingsFile(const DataPlaces& places, const std::string& fileName) {
    SettingsChoice choice;
    const fs::path inStart = fs::path(places.start.empty() ? "." : places.start) / fileName;
    choice.path = inStart.string();
    // The start directory's file is taken as it is: a broken one there is the user's own
    // working folder speaking, and is reported by the settings object.
    if (isFile(inStart)) {
        choice.found = true;
        return choice;
    }
    std::string passedOver;
    if (!places.config.empty()) {
        const fs::path inConfig = fs::path(places.config) / fileName;
        std::error_code ec;
        if (fs::exists(inConfig, ec)) {
            const std::string reason = isFile(inConfig) ? unusableReason(inConfig.string()) : "it is not a file";
            if (reason.empty()) {
                choice.path = inConfig.string();
                choice.found = true;
                return choice;
            }
            choice.rejected = inConfig.string();
            passedOver = "The settings file " + inConfig.string() + " was not used: " + reason + ".";
        }
    }
    const fs::path inShare = places.share.empty() ? fs::path() : fs::path(places.share) / fileName;
    if (isFile(inShare)) {
        choice.path = inShare.string();
        choice.found = true;
        if (!passedOver.empty()) choice.notes.push_back(passedOver + " Using " + inShare.string() + " instead.");
        return choice;
    }
    if (!passedOver.empty()) choice.notes.push_back(passedOver);
    std::string where = "the start directory " + (places.start.empty() ? std::string(".") : places.start);
    if (!places.config.empty()) where += ", " + places.config;
    if (places.share.empty()) {
        where += " or the install's share folder (the program's own path is unknown)";
    } else if (!isFolder(places.share)) {
        where += " or the install's share folder " + places.share + ", which does not exist";
    } else {
        where += " or " + places.share;
    }
    choice.notes.push_back("No " + fileName + " was found in " + where + "; the built-in defaults are used.");
    return choice;
}

std::string findDataFile(const DataPlaces& places, const std::string& relative) {
    if (relative.empty()) return {};
    std::string slashed = relative;
    for (char& c : slashed)
        if (c == '\\') c = '/';
    const fs::path given(slashed);
    if (given.is_absolute()) return isFile(given) ? slashed : std::string();
    const fs::path start = places.start.empty() ? fs::path(".") : fs::path(places.start);
    if (isFile(start / given)) return relative;
    const std::string tail = normalisedRelative(relative);
    if (!places.share.empty() && !tail.empty() && tail.rfind("../", 0) != 0) {
        const fs::path inShare = fs::path(places.share) / tail;
        if (isFile(inShare)) return inShare.string();
    }
    return {};
}

std::string mediaFolderHolding(const DataPlaces& places, const std::string& mediaDir, const std::string& fileName) {
    const std::size_t cut = fileName.find_last_of("/\\");
    const std::string base = cut == std::string::npos ? fileName : fileName.substr(cut + 1);
    if (base.empty()) return mediaDir;
    const std::string inMedia = (mediaDir.empty() ? std::string(".") : mediaDir) + "/" + base;
    const std::string found = findDataFile(places, inMedia);
    if (found.empty() || found == inMedia) return mediaDir;
    return fs::path(found).parent_path().string();
}

std::string findDataFolder(const DataPlaces& places, const std::vector<std::string>& names, std::string* note) {
    const std::string start = places.start.empty() ? std::string(".") : places.start;
    for (const std::string& n : names)
        if (isFile(fs::path(start) / n)) return start;
    std::string listed;
    for (const std::string& n : names) listed += (listed.empty() ? "" : " or ") + n;
    if (!places.share.empty() && isFolder(places.share)) {
        for (const std::string& n : names)
            if (isFile(fs::path(places.share) / n)) return places.share;
        if (note != nullptr) *note = "Neither " + start + " nor " + places.share + " holds " + listed + ".";
    } else if (note != nullptr) {
        *note = "No " + listed + " in " + start + ", and the install's share folder " +
                (places.share.empty() ? std::string("is unknown") : places.share + " does not exist") + ".";
    }
    return start;
}

}  // namespace lnd
