#include "sculpt/lndprocess.h"

#include "base/file_io.h"

namespace clay {

using namespace lnd;

namespace {

// No land can be longer than 4 GiB of sections; a bigger file is refused unread.
constexpr std::uint64_t kLargestLand = std::uint64_t(1) << 32;

std::string Num(std::int64_t n) { return std::to_string(n); }

}  // namespace

std::string LandProblem(const LndCheck& check, std::span<const std::uint8_t> image, const LndLayout& layout) {
    switch (check.status) {
    case LndStatus::Ok: return {};
    case LndStatus::TooShortForHeader:
        if (image.empty()) return "the file is empty";
        return "the file is too short for a land header (" + Num(std::int64_t(image.size())) + " bytes)";
    default: break;
    }
    const TLndHeader& h = *recordAt<TLndHeader>(image.data(), 0);
    switch (check.status) {
    case LndStatus::BadBlockCount: return "the block count " + Num(h.NumBlocks) + " is not positive";
    case LndStatus::BadCountryCount: return "the country count " + Num(h.NumCountries) + " is negative";
    case LndStatus::BadMaterialCount: return "the material count " + Num(h.NumMaterials) + " is negative";
    case LndStatus::Truncated:
        return "the file is " + Num(std::int64_t(image.size())) + " bytes long but its counts (" +
               Num(layout.numLoResTextures) + " low-resolution textures, " + Num(layout.numBlockRecords) + " blocks, " +
               Num(layout.numCountries) + " countries, " + Num(layout.numMaterials) + " materials) need " +
               Num(std::int64_t(layout.fileSize)) + " bytes";
    case LndStatus::BlockIndexOutOfRange: {
        const std::size_t square = check.offset - offsetof(TLndHeader, BlockIndex);
        const int gx = int(square / kGridSize), gz = int(square % kGridSize);
        return "the block index at square (" + Num(gx) + ", " + Num(gz) + ") names block " + Num(h.BlockIndex[gx][gz]) +
               " but the file holds " + Num(layout.numBlockRecords) + " blocks";
    }
    default: return check.message;
    }
}

Result CLandFile::Adopt(std::vector<std::uint8_t>&& image) {
    // The editor reads no DdsSize (textures are a fixed size apart), so only the structure is
    // asked for, as it always was.
    LndLayout layout;
    const LndCheck check = checkImage(image, layout, ImageCheck::Structure);
    if (!check) return Result::badInputAt(check.offset, LandProblem(check, image, layout));
    m_fileImage = std::move(image);
    m_layout = layout;
    Header().NumBlocks = layout.numBlockRecords;
    return {};
}

Result CLandFile::Read(const std::string& path, std::vector<std::uint8_t>& image) {
    if (path.empty()) return Result::failure(Status::BadInput, "no file name was given");
    const Result r = readWholeFile(path, image, kLargestLand);
    if (!r) return r;
    LndLayout layout;
    const LndCheck check = checkImage(image, layout, ImageCheck::Structure);
    if (!check) return Result::badInputAt(check.offset, path + ": " + LandProblem(check, image, layout));
    return {};
}

Result CLandFile::Load(const std::string& path) {
    std::vector<std::uint8_t> image;
    const Result r = Read(path, image);
    if (!r) return r;
    return Adopt(std::move(image));
}

void CLandFile::Release() {
    m_fileImage.clear();
    m_fileImage.shrink_to_fit();
    m_layout = LndLayout{};
}

std::vector<std::uint8_t> CLandFile::FileBytes() const {
    if (!Loaded()) return {};
    LndParts parts;
    parts.header = Header();
    const std::uint8_t* base = m_fileImage.data();
    parts.loRes = {recordAt<TLndLoResTex>(base, m_layout.loResOffset), m_layout.numLoResTextures};
    parts.blocks = {recordAt<TLndBlock>(base, m_layout.blocksOffset), std::size_t(m_layout.numBlockRecords)};
    parts.countries = {recordAt<TLndCountry>(base, m_layout.countriesOffset), std::size_t(m_layout.numCountries)};
    parts.materials = {recordAt<TLndMaterial>(base, m_layout.materialsOffset), std::size_t(m_layout.numMaterials)};
    parts.noiseMap = recordAt<TLndNoiseMap>(base, m_layout.noiseOffset);
    parts.bumpMap = recordAt<TLndBumpMap>(base, m_layout.bumpOffset);
    return writePlain(parts);
}

}  // namespace clay
