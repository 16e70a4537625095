#include "land/land.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace lnd {

void LandBounds::include(float x, float y, float z) {
    minX = std::min(minX, x);
    minY = std::min(minY, y);
    minZ = std::min(minZ, z);
    maxX = std::max(maxX, x);
    maxY = std::max(maxY, y);
    maxZ = std::max(maxZ, z);
}

CLand::CLand() = default;

CLand::~CLand() = default;

LndCheck CLand::adoptImage(std::vector<std::uint8_t> image) {
    releaseImage();
    LndLayout layout;
    LndCheck check = checkImage(image, layout, ImageCheck::Structure);
    if (!check) return check;
    m_fileImage = std::move(image);
    m_layout = layout;
    // From here on NumBlocks counts records; only the file writer adds the one back.
    header()->NumBlocks = layout.numBlockRecords;
    return check;
}

void CLand::releaseImage() {
    m_fileImage.clear();
    m_fileImage.shrink_to_fit();
    m_layout = LndLayout{};
}

bool CLand::refreshViews() {
    if (m_fileImage.size() < kHeaderSize) {
        releaseImage();
        return false;
    }
    TLndHeader fileHeader = *header();
    fileHeader.NumBlocks = static_cast<std::int32_t>(fileHeader.NumBlocks) + 1;
    LndLayout layout;
    if (!computeLayout(fileHeader, layout) || layout.fileSize > m_fileImage.size()) {
        releaseImage();
        return false;
    }
    layout.trailingBytes = m_fileImage.size() - layout.fileSize;
    m_layout = layout;
    return true;
}

TLndHeader* CLand::header() {
    return hasImage() ? recordAt<TLndHeader>(m_fileImage.data(), 0) : nullptr;
}

const TLndHeader* CLand::header() const {
    return hasImage() ? recordAt<TLndHeader>(m_fileImage.data(), 0) : nullptr;
}

std::span<TLndLoResTex> CLand::loResTex() {
    if (!hasImage()) return {};
    return {recordAt<TLndLoResTex>(m_fileImage.data(), m_layout.loResOffset),
            m_layout.numLoResTextures};
}

std::span<TLndBlock> CLand::blocks() {
    if (!hasImage()) return {};
    return {recordAt<TLndBlock>(m_fileImage.data(), m_layout.blocksOffset),
            std::size_t(m_layout.numBlockRecords)};
}

std::span<const TLndBlock> CLand::blocks() const {
    if (!hasImage()) return {};
    return {recordAt<TLndBlock>(m_fileImage.data(), m_layout.blocksOffset),
            std::size_t(m_layout.numBlockRecords)};
}

std::span<TLndCountry> CLand::countries() {
    if (!hasImage()) return {};
    return {recordAt<TLndCountry>(m_fileImage.data(), m_layout.countriesOffset),
            std::size_t(m_layout.numCountries)};
}

std::span<TLndMaterial> CLand::materials() {
    if (!hasImage()) return {};
    return {recordAt<TLndMaterial>(m_fileImage.data(), m_layout.materialsOffset),
            std::size_t(m_layout.numMaterials)};
}

TLndNoiseMap* CLand::noiseMap() {
    return hasImage() ? recordAt<TLndNoiseMap>(m_fileImage.data(), m_layout.noiseOffset) : nullptr;
}

TLndBumpMap* CLand::bumpMap() {
    return hasImage() ? recordAt<TLndBumpMap>(m_fileImage.data(), m_layout.bumpOffset) : nullptr;
}

int CLand::blockRecordAt(int gx, int gz) const {
    if (!hasImage() || gx < 0 || gz < 0 || gx >= kGridSize || gz >= kGridSize) return -1;
    const int number = header()->BlockIndex[gx][gz];
    if (number == 0 || number > m_layout.numBlockRecords) return -1;
    return number - 1;
}

bool CLand::growForCountryImport(int materialCount, CountryGrowth* result) {
    if (!hasImage() || materialCount < 0) return false;
    const int c = m_layout.numCountries;
    const int m = m_layout.numMaterials;
    if (c >= kMaxCountries) return false;
    if (m > std::numeric_limits<std::int32_t>::max() - materialCount) return false;

    const std::size_t countryEnd = m_layout.materialsOffset;   // after the last country
    const std::size_t materialEnd = m_layout.noiseOffset;      // after the last material
    const std::size_t materialBytes = std::size_t(materialCount) * kMaterialSize;
    const std::size_t oldSize = m_fileImage.size();
    if (materialBytes > std::numeric_limits<std::size_t>::max() - oldSize - kCountrySize)
        return false;

    // One new block, filled piece by piece: the old image stays whole until the swap, so a
    // failed allocation leaves the land exactly as it was.
    std::vector<std::uint8_t> grown;
    try {
        grown.resize(oldSize + kCountrySize + materialBytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::uint8_t* src = m_fileImage.data();
    std::uint8_t* dst = grown.data();
    std::memcpy(dst, src, countryEnd);
    std::memset(dst + countryEnd, 0, kCountrySize);
    std::memcpy(dst + countryEnd + kCountrySize, src + countryEnd, materialEnd - countryEnd);
    std::memset(dst + materialEnd + kCountrySize, 0, materialBytes);
    std::memcpy(dst + materialEnd + kCountrySize + materialBytes, src + materialEnd,
                oldSize - materialEnd);

    m_fileImage.swap(grown);
    header()->NumCountries = c + 1;
    header()->NumMaterials = m + materialCount;
    refreshViews();
    m_modified = true;
    if (result) {
        result->country = c;
        result->firstMaterial = m;
    }
    return true;
}

void CLand::releaseTextures() { m_textures.releaseAll(); }

void CLand::blocksEdited(std::span<const int> changed) {
    for (int b : changed) {
        if (b < 0 || b >= numBlocks()) continue;
        m_textures.dropBlock(std::size_t(b));
        if (m_blockEdits.size() < std::size_t(numBlocks())) m_blockEdits.resize(std::size_t(numBlocks()), 0);
        ++m_blockEdits[std::size_t(b)];
        ++m_editGeneration;
    }
}

std::uint32_t CLand::blockEdits(int b) const {
    return b >= 0 && std::size_t(b) < m_blockEdits.size() ? m_blockEdits[std::size_t(b)] : 0;
}

void CLand::levelCells(int level) {
    if (!hasImage()) return;
    const auto altitude = static_cast<std::uint8_t>(level & 0xFF);
    const std::uint16_t flags = level == 0 ? kWater : 0;
    for (TLndBlock& block : blocks()) {
        for (auto& row : block.Cells) {
            for (TLndCell& cell : row) {
                cell.Altitude = altitude;
                cell.CellFlags = flags;
            }
        }
    }
    releaseTextures();
    // Strokes recorded over the old cells would undo into the new ones.
    m_history.clear();
    // Every vertex has a new height, so the extent is measured again rather than widened
    // from the old one.
    m_bounds.reset();
    // Every block changed: whatever was remembered about the old cells no longer holds.
    std::vector<int> all(static_cast<std::size_t>(numBlocks()));
    for (std::size_t b = 0; b < all.size(); ++b) all[b] = int(b);
    blocksEdited(all);
    m_modified = true;
}

LndParts CLand::parts() {
    LndParts out;
    if (!hasImage()) return out;
    out.header = *header();
    out.loRes = loResTex();
    out.blocks = blocks();
    out.countries = countries();
    out.materials = materials();
    out.noiseMap = noiseMap();
    out.bumpMap = bumpMap();
    return out;
}

}  // namespace lnd
