// Clayvane's land file: the whole file image held in memory with views on its sections.
//
// The parser works on a memory buffer and needs neither GL nor Qt, so it can be driven by
// tests and fuzz harnesses directly.
#pragma once

#include "format/lnd_format.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace clay {

// Where the sections of a checked image lie.
struct SLandLayout {
    std::int32_t blockRecords = 0;      // the file's NumBlocks - 1
    std::uint32_t loResTextures = 0;
    std::int32_t countries = 0;
    std::int32_t materials = 0;
    std::size_t blocksOffset = 0;
    std::size_t countriesOffset = 0;
    std::size_t materialsOffset = 0;
    std::size_t noiseOffset = 0;
    std::size_t bumpOffset = 0;
    std::size_t fileSize = 0;           // length the header implies (end of the bump map)
};

// Checks a land image against its own header: long enough for the header, counts not
// negative, every section inside the image, every BlockIndex entry naming an existing block
// record. Returns an empty string when sound, else what is wrong for a person to read.
std::string CheckLandImage(std::span<const std::uint8_t> image, SLandLayout& layout);

class CLandFile {
public:
    virtual ~CLandFile();

    // Takes over a whole file image after checking it. On failure nothing changes (a land
    // already held stays) and the text says why.
    bool AdoptImage(std::vector<std::uint8_t>&& image, std::string& problem);
    // Reads a file and adopts it; the problem text names the file.
    bool LoadFile(const std::string& path, std::string& problem);
    void Release();
    bool Loaded() const { return !m_fileImage.empty(); }

    // The image to write: the held sections with NumBlocks as the file counts it. Bytes that
    // followed the bump map in the loaded file are not part of it.
    std::vector<std::uint8_t> FileBytes() const;

    int BlockRecords() const { return m_layout.blockRecords; }
    int NumCountries() const { return m_layout.countries; }
    int NumMaterials() const { return m_layout.materials; }
    const SLandLayout& Layout() const { return m_layout; }

    // Block record r, 0-based (block number r + 1).
    lnd::TLndBlock& BlockRecord(int r) {
        return *lnd::recordAt<lnd::TLndBlock>(m_fileImage.data(), m_layout.blocksOffset + std::size_t(r) * lnd::kBlockSize);
    }
    const lnd::TLndBlock& BlockRecord(int r) const {
        return *lnd::recordAt<lnd::TLndBlock>(m_fileImage.data(), m_layout.blocksOffset + std::size_t(r) * lnd::kBlockSize);
    }

    std::vector<std::uint8_t> m_fileImage;
    lnd::TLndHeader* m_header = nullptr;       // NumBlocks holds the record count while loaded
    lnd::TLndLoResTex* m_loResTex = nullptr;
    lnd::TLndBlock* m_blocks = nullptr;
    lnd::TLndCountry* m_countries = nullptr;
    lnd::TLndMaterial* m_materials = nullptr;
    lnd::TLndNoiseMap* m_noiseMap = nullptr;
    lnd::TLndBumpMap* m_bumpMap = nullptr;

private:
    void SetViews();
    SLandLayout m_layout;
};

}  // namespace clay
