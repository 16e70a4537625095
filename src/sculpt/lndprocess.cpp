#include "sculpt/lndprocess.h"

#include "base/file_io.h"

#include <cstring>

namespace clay {

using namespace lnd;

std::string CheckLandImage(std::span<const std::uint8_t> image, SLandLayout& layout) {
    layout = SLandLayout{};
    if (image.empty()) return "the file is empty";
    if (image.size() < kHeaderSize) {
        return "the file is too short for a land header (" + std::to_string(image.size()) + " bytes)";
    }
    const TLndHeader& h = *recordAt<TLndHeader>(image.data(), 0);
    const std::int32_t numBlocks = h.NumBlocks;
    const std::int32_t countries = h.NumCountries;
    const std::int32_t materials = h.NumMaterials;
    const std::uint32_t loRes = h.NumLoResTextures;
    if (numBlocks < 1) return "the block count " + std::to_string(numBlocks) + " is not positive";
    if (countries < 0) return "the country count " + std::to_string(countries) + " is negative";
    if (materials < 0) return "the material count " + std::to_string(materials) + " is negative";

    // 64-bit sums: no count can overflow them (each term is below 2^32 * 2^17).
    const std::uint64_t blocksOffset = kHeaderSize + std::uint64_t(loRes) * kLoResTexSize;
    const std::uint64_t countriesOffset = blocksOffset + std::uint64_t(numBlocks - 1) * kBlockSize;
    const std::uint64_t materialsOffset = countriesOffset + std::uint64_t(countries) * kCountrySize;
    const std::uint64_t noiseOffset = materialsOffset + std::uint64_t(materials) * kMaterialSize;
    const std::uint64_t end = noiseOffset + kNoiseMapSize + kBumpMapSize;
    if (end > image.size()) {
        return "the file is " + std::to_string(image.size()) + " bytes long but its counts (" +
               std::to_string(loRes) + " low-resolution textures, " + std::to_string(numBlocks - 1) + " blocks, " +
               std::to_string(countries) + " countries, " + std::to_string(materials) + " materials) need " +
               std::to_string(end) + " bytes";
    }
    for (int gx = 0; gx < kGridSize; ++gx) {
        for (int gz = 0; gz < kGridSize; ++gz) {
            const int n = h.BlockIndex[gx][gz];
            if (n > numBlocks - 1) {
                return "the block index at square (" + std::to_string(gx) + ", " + std::to_string(gz) +
                       ") names block " + std::to_string(n) + " but the file holds " +
                       std::to_string(numBlocks - 1) + " blocks";
            }
        }
    }
    layout.blockRecords = numBlocks - 1;
    layout.loResTextures = loRes;
    layout.countries = countries;
    layout.materials = materials;
    layout.blocksOffset = std::size_t(blocksOffset);
    layout.countriesOffset = std::size_t(countriesOffset);
    layout.materialsOffset = std::size_t(materialsOffset);
    layout.noiseOffset = std::size_t(noiseOffset);
    layout.bumpOffset = std::size_t(noiseOffset + kNoiseMapSize);
    layout.fileSize = std::size_t(end);
    return {};
}

CLandFile::~CLandFile() = default;

bool CLandFile::AdoptImage(std::vector<std::uint8_t>&& image, std::string& problem) {
    SLandLayout layout;
    problem = CheckLandImage(image, layout);
    if (!problem.empty()) return false;
    m_fileImage = std::move(image);
    m_layout = layout;
    SetViews();
    // While loaded NumBlocks counts block records; the writer adds the one back.
    m_header->NumBlocks = layout.blockRecords;
    return true;
}

bool CLandFile::LoadFile(const std::string& path, std::string& problem) {
    if (path.empty()) {
        problem = "no file name was given";
        return false;
    }
    std::vector<std::uint8_t> bytes;
    // No land can be longer than 4 GiB of sections; a bigger file is refused unread.
    const Result r = readWholeFile(path, bytes, std::uint64_t(1) << 32);
    if (!r) {
        problem = r.message();
        return false;
    }
    if (!AdoptImage(std::move(bytes), problem)) {
        problem = path + ": " + problem;
        return false;
    }
    return true;
}

void CLandFile::Release() {
    m_fileImage.clear();
    m_fileImage.shrink_to_fit();
    m_layout = SLandLayout{};
    SetViews();
}

void CLandFile::SetViews() {
    if (m_fileImage.empty()) {
        m_header = nullptr;
        m_loResTex = nullptr;
        m_blocks = nullptr;
        m_countries = nullptr;
        m_materials = nullptr;
        m_noiseMap = nullptr;
        m_bumpMap = nullptr;
        return;
    }
    std::uint8_t* base = m_fileImage.data();
    m_header = recordAt<TLndHeader>(base, 0);
    m_loResTex = recordAt<TLndLoResTex>(base, kHeaderSize);
    m_blocks = recordAt<TLndBlock>(base, m_layout.blocksOffset);
    m_countries = recordAt<TLndCountry>(base, m_layout.countriesOffset);
    m_materials = recordAt<TLndMaterial>(base, m_layout.materialsOffset);
    m_noiseMap = recordAt<TLndNoiseMap>(base, m_layout.noiseOffset);
    m_bumpMap = recordAt<TLndBumpMap>(base, m_layout.bumpOffset);
}

std::vector<std::uint8_t> CLandFile::FileBytes() const {
    if (m_fileImage.empty()) return {};
    std::vector<std::uint8_t> out(m_fileImage.begin(), m_fileImage.begin() + std::ptrdiff_t(m_layout.fileSize));
    recordAt<TLndHeader>(out.data(), 0)->NumBlocks = m_layout.blockRecords + 1;
    return out;
}

}  // namespace clay
