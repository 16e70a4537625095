// Clayvane's land file: the whole file image held in memory, checked, addressed and written
// by the land format library. While a land is held its header's NumBlocks counts the block
// records (the file's value - 1); the writer adds the one back.
#pragma once

#include "base/result.h"
#include "format/lnd_file.h"
#include "format/lnd_format.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace clay {

// Clayvane's own words for why the format library refused an image (its load messages
// predate the library and stay as users know them).
std::string LandProblem(const lnd::LndCheck& check, std::span<const std::uint8_t> image, const lnd::LndLayout& layout);

class CLandFile {
public:
    // Takes over a whole file image after checking it. On failure nothing changes (a land
    // already held stays) and the result says why, at the offending byte.
    lnd::Result Adopt(std::vector<std::uint8_t>&& image);
    // Reads a file and adopts it; a refusal names the file.
    lnd::Result Load(const std::string& path);
    // Reads and checks a file without taking it: the current land stays until the caller
    // is ready to let it go (Adopt then cannot fail).
    static lnd::Result Read(const std::string& path, std::vector<std::uint8_t>& image);
    void Release();
    bool Loaded() const { return !m_fileImage.empty(); }

    // The file to write, in plain form: the held sections with NumBlocks as the file counts
    // it. Bytes that followed the bump map in the loaded file are not part of it.
    std::vector<std::uint8_t> FileBytes() const;

    int BlockRecords() const { return m_layout.numBlockRecords; }
    int NumCountries() const { return m_layout.numCountries; }
    int NumMaterials() const { return m_layout.numMaterials; }
    const lnd::LndLayout& Layout() const { return m_layout; }

    lnd::TLndHeader& Header() { return *At<lnd::TLndHeader>(0); }
    const lnd::TLndHeader& Header() const { return *At<lnd::TLndHeader>(0); }
    // Block record r, 0-based (block number r + 1).
    lnd::TLndBlock& BlockRecord(int r) { return *At<lnd::TLndBlock>(m_layout.blocksOffset + std::size_t(r) * lnd::kBlockSize); }
    const lnd::TLndBlock& BlockRecord(int r) const {
        return *At<lnd::TLndBlock>(m_layout.blocksOffset + std::size_t(r) * lnd::kBlockSize);
    }
    lnd::TLndCountry& Country(int c) { return *At<lnd::TLndCountry>(m_layout.countriesOffset + std::size_t(c) * lnd::kCountrySize); }
    const lnd::TLndCountry& Country(int c) const {
        return *At<lnd::TLndCountry>(m_layout.countriesOffset + std::size_t(c) * lnd::kCountrySize);
    }
    const lnd::TLndMaterial& Material(int m) const {
        return *At<lnd::TLndMaterial>(m_layout.materialsOffset + std::size_t(m) * lnd::kMaterialSize);
    }
    lnd::TLndNoiseMap& NoiseMap() { return *At<lnd::TLndNoiseMap>(m_layout.noiseOffset); }
    const lnd::TLndNoiseMap& NoiseMap() const { return *At<lnd::TLndNoiseMap>(m_layout.noiseOffset); }

private:
    template <typename T>
    T* At(std::uint64_t offset) { return lnd::recordAt<T>(m_fileImage.data(), std::size_t(offset)); }
    template <typename T>
    const T* At(std::uint64_t offset) const { return lnd::recordAt<T>(m_fileImage.data(), std::size_t(offset)); }

    std::vector<std::uint8_t> m_fileImage;
    lnd::LndLayout m_layout;
};

}  // namespace clay
