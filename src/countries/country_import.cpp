#include "countries/country_import.h"

#include "codec/image.h"
#include "codec/image_readers.h"
#include "countries/country_table.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace lnd {

namespace fs = std::filesystem;

namespace {

std::string currentDirectoryText() {
    std::error_code ec;
    const fs::path here = fs::current_path(ec);
    return ec ? std::string(".") : here.string();
}

// Taken while the program starts, before anything can change the working directory.
std::string& startDir() {
    static std::string dir = currentDirectoryText();
    return dir;
}
[[maybe_unused]] const bool kStartTaken = !startDir().empty();

std::string lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool isSeparator(char c) { return c == '/' || c == '\\'; }

std::uint16_t packTexel(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return std::uint16_t(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}

}  // namespace

std::string countriesLoadErrorText(const std::string& path) {
    return "Error Loading the file " + path +
           " please verify that the file exists and the syntax is ok by loadign the file with IE";
}

const std::string& startDirectory() { return startDir(); }
void setStartDirectory(const std::string& dir) { startDir() = dir; }

std::string resolveFromStart(const std::string& path) {
    const auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    auto first = std::find_if(path.begin(), path.end(), notSpace);
    auto last = std::find_if(path.rbegin(), path.rend(), notSpace).base();
    std::string trimmed = first < last ? std::string(first, last) : std::string();
    // "./x" and "../x" alike name places relative to where the program started.
    if (!trimmed.empty() && trimmed[0] == '.') trimmed = startDirectory() + "/" + trimmed;
    return trimmed;
}

std::string landNameOf(const std::string& landPath) {
    const std::size_t dot = landPath.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return {};
    const std::size_t slash = landPath.find_last_of("/\\", dot);
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    return landPath.substr(start, dot - start);
}

std::vector<std::string> exportedLands(const std::string& exportRoot, const std::string& currentLand) {
    std::vector<std::string> lands;
    const std::string root = resolveFromStart(exportRoot);
    if (root.empty()) return lands;
    std::error_code ec;
    fs::directory_iterator it(root, ec), end;
    const std::string current = lower(currentLand);
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name == "." || name == ".." || name.find('.') != std::string::npos) continue;
        std::error_code dirEc;
        if (!it->is_directory(dirEc)) continue;
        if (lower(name) == current) continue;
        lands.push_back(name);
    }
    std::sort(lands.begin(), lands.end());
    return lands;
}

std::string materialsDirOf(const std::string& exportRoot, const std::string& land,
                           const std::string& materialsSubdir) {
    std::string root = exportRoot;
    if (!root.empty() && !isSeparator(root.back())) root += '/';
    return root + land + "/" + materialsSubdir;
}

bool safeMaterialName(const std::string& name) {
    if (name.empty()) return false;
    if (name.find_first_of("/\\:") != std::string::npos) return false;
    if (name.find("..") != std::string::npos) return false;
    return name.find('\0') == std::string::npos;
}

std::string materialFilePath(const std::string& dir, const std::string& name) {
    const std::string wanted = name + ".bmp";
    const std::string folder = resolveFromStart(dir);
    std::error_code ec;
    if (fs::exists(fs::path(folder) / wanted, ec)) return (fs::path(folder) / wanted).string();
    fs::directory_iterator it(folder, ec), end;
    const std::string wantedLower = lower(wanted);
    for (; !ec && it != end; it.increment(ec))
        if (lower(it->path().filename().string()) == wantedLower) return it->path().string();
    return (fs::path(folder) / wanted).string();
}

Result readMaterialImage(const std::string& path, TLndMaterial& out) {
    std::memset(&out, 0, sizeof out);
    std::unique_ptr<CImageBase> image;
    if (Result r = readImageFile(path, image); !r) return r;
    if (image->width() <= 0 || image->height() <= 0)
        return Result::failure(Status::BadInput, path + ": the picture has no pixels");
    const int w = image->width(), h = image->height();
    for (int y = 0; y < 256; ++y) {
        const int sy = int(std::int64_t(y) * h / 256);
        for (int x = 0; x < 256; ++x) {
            const int sx = int(std::int64_t(x) * w / 256);
            std::uint8_t argb[4] = {0, 0, 0, 0};
            if (image->kind() == CImage32::kKind) {
                std::memcpy(argb, static_cast<const CImage32&>(*image).pixel(sx, sy), 4);
            } else {
                const auto& paletted = static_cast<const CImage8&>(*image);
                const std::uint8_t index = paletted.index(sx, sy);
                if (index < paletted.paletteSize()) unpackArgb(paletted.palette()[index], argb);
            }
            out.Texels[y][x] = packTexel(argb[1], argb[2], argb[3]);
        }
    }
    return Result::success();
}

std::vector<std::string> CountryChoice::materialNames() const {
    std::vector<const CoefElement*> all;
    for (const CoefElement& e : coefs) all.push_back(&e);
    return materialNamesOf(all);
}

CountryChoice chooseCountry(const CountriesFile& file, const std::string& id, const std::string& materialsDir) {
    CountryChoice choice;
    choice.materialsDir = materialsDir;
    for (const CoefElement* e : file.coefsOf(id)) choice.coefs.push_back(*e);
    return choice;
}

Result canImportCountry(const CLand& land) {
    if (land.numCountries() < kMaxCountries) return Result::success();
    return Result::failure(Status::NotPossible, kTooManyCountriesMessage);
}

Result ImportCountry(CLand& land, const CountryChoice& choice) {
    if (!land.hasImage()) return Result::failure(Status::NotPossible, "no land is held");
    if (Result r = canImportCountry(land); !r) return r;
    const std::vector<std::string> names = choice.materialNames();
    for (const std::string& name : names)
        if (!safeMaterialName(name))
            return Result::failure(Status::BadInput, "The material name \"" + name +
                                                         "\" does not name a file inside the materials folder; "
                                                         "nothing was imported.");

    // Everything is read before the image grows, so a refusal cannot leave it half changed.
    const int oldCountries = land.numCountries(), oldMaterials = land.numMaterials();
    std::vector<const CoefElement*> coefs;
    for (const CoefElement& e : choice.coefs) coefs.push_back(&e);
    auto country = std::make_unique<TLndCountry>();
    fillCountry(coefs, names, oldCountries, oldMaterials, *country);
    std::vector<std::unique_ptr<TLndMaterial>> materials;
    for (const std::string& name : names) {
        materials.push_back(std::make_unique<TLndMaterial>());
        // An unreadable bitmap leaves a black material, as the import always appends the slot.
        (void)readMaterialImage(materialFilePath(choice.materialsDir, name), *materials.back());
    }

    CLand::CountryGrowth growth;
    if (!land.growForCountryImport(int(names.size()), &growth))
        return Result::failure(Status::OutOfMemory,
                               "The land cannot take the imported country: its file would grow too large.");
    land.countries()[std::size_t(growth.country)] = *country;
    for (std::size_t i = 0; i < materials.size(); ++i)
        land.materials()[std::size_t(growth.firstMaterial) + i] = *materials[i];
    allBlocksEdited(land);
    land.markModified();
    return Result::success();
}

Result ImportCountryFromFile(CLand& land, const std::string& countriesXmlPath, const std::string& id) {
    if (Result r = canImportCountry(land); !r) return r;
    CountriesFile file;
    if (Result r = CountriesFile::load(resolveFromStart(countriesXmlPath), file); !r) {
        // The editor's text first, then why: the system's reason or where the XML breaks.
        const std::string text = countriesLoadErrorText(countriesXmlPath) + " (" + r.message() + ")";
        return r.offset() ? Result::badInputAt(*r.offset(), text) : Result::failure(r.status(), text, r.systemError());
    }
    const bool known = std::any_of(file.countries().begin(), file.countries().end(),
                                   [&](const CountryElement& c) { return c.id == id; });
    if (!known)
        return Result::failure(Status::BadInput, "The file " + countriesXmlPath + " holds no country \"" + id + "\".");
    const std::string dir = fs::path(resolveFromStart(countriesXmlPath)).parent_path().string();
    return ImportCountry(land, chooseCountry(file, id, dir.empty() ? std::string(".") : dir));
}

}  // namespace lnd
