// Reading and writing whole landscape file images.
//
// The reader is safe on untrusted input: it checks every count against the real size of the
// image before any record is touched, and a refused image comes back with the problem and
// the byte offset where it was found. Nothing is read past the end of the buffer.
#pragma once

#include "format/lnd_format.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lnd {

enum class LndStatus {
    Ok,
    TooShortForHeader,     // fewer than 1052 bytes
    BadBlockCount,         // NumBlocks < 1
    BadCountryCount,       // NumCountries < 0
    BadMaterialCount,      // NumMaterials < 0
    Truncated,             // the image ends before the sections the header implies
    BlockIndexOutOfRange,  // a BlockIndex entry names a block beyond the records
    BadDdsSize,            // a texture's DdsSize does not fit its record
};

// Where the sections of an image lie, computed from the header counts and the fixed record
// sizes alone. 64-bit whatever the build: a header's counts can describe more than 4 GiB.
struct LndLayout {
    std::int32_t numBlockRecords = 0;   // the file's NumBlocks - 1
    std::uint32_t numLoResTextures = 0;
    std::int32_t numCountries = 0;
    std::int32_t numMaterials = 0;
    std::uint64_t loResOffset = kHeaderSize;
    std::uint64_t blocksOffset = 0;
    std::uint64_t countriesOffset = 0;
    std::uint64_t materialsOffset = 0;
    std::uint64_t noiseOffset = 0;
    std::uint64_t bumpOffset = 0;
    std::uint64_t fileSize = 0;           // the length the header implies
    std::uint64_t trailingBytes = 0;      // bytes after the bump map (kept out of the land)
};

struct LndCheck {
    LndStatus status = LndStatus::Ok;
    std::size_t offset = 0;   // byte offset of the offending field or of the missing data
    std::string message;      // for a person: what is wrong and where

    explicit operator bool() const { return status == LndStatus::Ok; }
};

// Computes the layout from a header whose NumBlocks is the file's value (records + 1).
// Fails only on negative counts; does not look at any size.
LndCheck computeLayout(const TLndHeader& header, LndLayout& layout);

// How much checkImage asks of an image. The editor never reads DdsSize (records are a fixed
// size apart), so it opens what only a validator complains about.
enum class ImageCheck {
    Full,        // everything, DdsSize included
    Structure,   // what the land's readers rely on: counts, sections, BlockIndex
};

// Checks a whole file image: header present, counts sane, every section inside the image,
// every BlockIndex entry naming an existing record and (Full) every DdsSize fitting its
// record. On success `layout` describes the image. Extra bytes after the bump map are
// allowed and counted in `trailingBytes`.
LndCheck checkImage(std::span<const std::uint8_t> image, LndLayout& layout, ImageCheck level = ImageCheck::Full);

// Read-only typed access to a checked image.
class LndView {
public:
    LndView() = default;
    // Checks the image; on failure the view stays empty and the result says why.
    // Structure by default: DdsSize is read by nothing, so a land with a wrong one opens (the
    // consistency report names it).
    LndCheck open(std::span<const std::uint8_t> image, ImageCheck level = ImageCheck::Structure);

    bool valid() const { return m_image.data() != nullptr; }
    const LndLayout& layout() const { return m_layout; }
    std::span<const std::uint8_t> image() const { return m_image; }

    const TLndHeader& header() const { return *recordAt<TLndHeader>(m_image.data(), 0); }
    int blockCount() const { return m_layout.numBlockRecords; }
    const TLndLoResTex& loRes(std::size_t k) const;
    const TLndBlock& block(std::size_t record) const;   // 0-based record
    const TLndCountry& country(std::size_t c) const;
    const TLndMaterial& material(std::size_t m) const;
    const TLndNoiseMap& noiseMap() const;
    const TLndBumpMap& bumpMap() const;

private:
    std::span<const std::uint8_t> m_image;
    LndLayout m_layout;
};

// The pieces a writer puts into a file, as held in memory. `blocks` holds the block records
// in their stored order; the writer sets the file's NumBlocks to their count + 1.
struct LndParts {
    TLndHeader header{};
    std::span<const TLndLoResTex> loRes;
    std::span<const TLndBlock> blocks;
    std::span<const TLndCountry> countries;
    std::span<const TLndMaterial> materials;
    const TLndNoiseMap* noiseMap = nullptr;
    const TLndBumpMap* bumpMap = nullptr;
};

// The parts of a checked image, addressing its bytes in place.
LndParts partsOf(const LndView& view);

// Plain form: every section exactly as held. The header's counts are set from the spans.
std::vector<std::uint8_t> writePlain(const LndParts& parts);

// Compacting form: the blocks reached by walking BlockIndex (gx outer, gz inner), each
// renumbered 1, 2, 3, ... and its square set to the new number; blocks no square refers to
// are dropped. BlockSize becomes 2520 times the number of blocks written, as the editors
// have always stored it. Entries naming no record are treated as empty squares.
std::vector<std::uint8_t> writeCompacting(const LndParts& parts);

// Names a status for messages and JSON.
const char* statusName(LndStatus status);

}  // namespace lnd
