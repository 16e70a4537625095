#include "format/lnd_file.h"


#include <cassert>
#include <cstdio>
#include <cstring>

namespace lnd {

namespace {

LndCheck fail(LndStatus status, std::size_t offset, std::string message) {
    LndCheck check;
    check.status = status;
    check.offset = offset;
    check.message = std::move(message) + " (at byte " + std::to_string(offset) + ")";
    return check;
}

std::string bytesText(std::uint64_t n) { return std::to_string(n) + " bytes"; }

void appendBytes(std::vector<std::uint8_t>& out, const void* data, std::size_t size) {
    if (size == 0) return;
    const std::size_t at = out.size();
    out.resize(at + size);
    std::memcpy(out.data() + at, data, size);
}

std::size_t plainSize(const LndParts& parts) {
    return kHeaderSize + parts.loRes.size() * kLoResTexSize + parts.blocks.size() * kBlockSize +
           parts.countries.size() * kCountrySize + parts.materials.size() * kMaterialSize +
           kNoiseMapSize + kBumpMapSize;
}

void appendTail(std::vector<std::uint8_t>& out, const LndParts& parts) {
    appendBytes(out, parts.countries.data(), parts.countries.size_bytes());
    appendBytes(out, parts.materials.data(), parts.materials.size_bytes());
    static const TLndNoiseMap kZeroNoise{};
    static const TLndBumpMap kZeroBump{};
    appendBytes(out, parts.noiseMap ? parts.noiseMap : &kZeroNoise, kNoiseMapSize);
    appendBytes(out, parts.bumpMap ? parts.bumpMap : &kZeroBump, kBumpMapSize);
}

TLndHeader headerWithCounts(const LndParts& parts) {
    TLndHeader h = parts.header;
    h.NumLoResTextures = static_cast<std::uint32_t>(parts.loRes.size());
    h.NumCountries = static_cast<std::int32_t>(parts.countries.size());
    h.NumMaterials = static_cast<std::int32_t>(parts.materials.size());
    return h;
}

}  // namespace

const char* statusName(LndStatus status) {
    switch (status) {
    case LndStatus::Ok: return "ok";
    case LndStatus::TooShortForHeader: return "too-short-for-header";
    case LndStatus::BadBlockCount: return "bad-block-count";
    case LndStatus::BadCountryCount: return "bad-country-count";
    case LndStatus::BadMaterialCount: return "bad-material-count";
    case LndStatus::Truncated: return "truncated";
    case LndStatus::BlockIndexOutOfRange: return "block-index-out-of-range";
    case LndStatus::BadDdsSize: return "bad-dds-size";
    }
    return "unknown";
}

LndCheck computeLayout(const TLndHeader& header, LndLayout& layout) {
    const std::int32_t numBlocks = header.NumBlocks;
    const std::int32_t numCountries = header.NumCountries;
    const std::int32_t numMaterials = header.NumMaterials;
    if (numBlocks < 1)
        return fail(LndStatus::BadBlockCount, offsetof(TLndHeader, NumBlocks),
                    "NumBlocks is " + std::to_string(numBlocks) + "; it must be at least 1");
    if (numCountries < 0)
        return fail(LndStatus::BadCountryCount, offsetof(TLndHeader, NumCountries),
                    "NumCountries is negative (" + std::to_string(numCountries) + ")");
    if (numMaterials < 0)
        return fail(LndStatus::BadMaterialCount, offsetof(TLndHeader, NumMaterials),
                    "NumMaterials is negative (" + std::to_string(numMaterials) + ")");

    // Counts are at most 2^32 and records at most 131074 bytes: 64-bit sums cannot overflow.
    layout = LndLayout{};
    layout.numBlockRecords = numBlocks - 1;
    layout.numLoResTextures = header.NumLoResTextures;
    layout.numCountries = numCountries;
    layout.numMaterials = numMaterials;
    layout.loResOffset = kHeaderSize;
    layout.blocksOffset = layout.loResOffset + std::uint64_t(layout.numLoResTextures) * kLoResTexSize;
    layout.countriesOffset = layout.blocksOffset + std::uint64_t(layout.numBlockRecords) * kBlockSize;
    layout.materialsOffset = layout.countriesOffset + std::uint64_t(numCountries) * kCountrySize;
    layout.noiseOffset = layout.materialsOffset + std::uint64_t(numMaterials) * kMaterialSize;
    layout.bumpOffset = layout.noiseOffset + kNoiseMapSize;
    layout.fileSize = layout.bumpOffset + kBumpMapSize;
    return {};
}

LndCheck checkImage(std::span<const std::uint8_t> image, LndLayout& layout, ImageCheck level) {
    if (image.size() < kHeaderSize)
        return fail(LndStatus::TooShortForHeader, image.size(),
                    "the file holds " + bytesText(image.size()) + ", fewer than the " +
                        bytesText(kHeaderSize) + " of a land header");
    const TLndHeader& header = *recordAt<TLndHeader>(image.data(), 0);
    LndCheck check = computeLayout(header, layout);
    if (!check) return check;

    struct Section {
        const char* name;
        std::uint64_t start;
        std::uint64_t end;
    };
    const Section sections[] = {
        {"low-resolution textures", layout.loResOffset, layout.blocksOffset},
        {"block records", layout.blocksOffset, layout.countriesOffset},
        {"country records", layout.countriesOffset, layout.materialsOffset},
        {"material records", layout.materialsOffset, layout.noiseOffset},
        {"noise map", layout.noiseOffset, layout.bumpOffset},
        {"bump map", layout.bumpOffset, layout.fileSize},
    };
    for (const Section& s : sections) {
        if (s.end > image.size())
            return fail(LndStatus::Truncated, image.size(),
                        std::string("the file ends inside the ") + s.name + ": the header implies " +
                            bytesText(layout.fileSize) + " but the file holds " +
                            bytesText(image.size()));
    }
    layout.trailingBytes = image.size() - layout.fileSize;

    for (int gx = 0; gx < kGridSize; ++gx) {
        for (int gz = 0; gz < kGridSize; ++gz) {
            const int number = header.BlockIndex[gx][gz];
            if (number > layout.numBlockRecords)
                return fail(LndStatus::BlockIndexOutOfRange,
                            offsetof(TLndHeader, BlockIndex) + std::size_t(kGridSize) * gx + gz,
                            "BlockIndex[" + std::to_string(gx) + "][" + std::to_string(gz) +
                                "] names block " + std::to_string(number) + " but the file has " +
                                std::to_string(layout.numBlockRecords) + " block records");
        }
    }

    if (level == ImageCheck::Structure) return {};
    for (std::uint32_t k = 0; k < layout.numLoResTextures; ++k) {
        const std::size_t at = layout.loResOffset + std::size_t(k) * kLoResTexSize;
        const auto& tex = *recordAt<TLndLoResTex>(image.data(), at);
        const std::int32_t ddsSize = tex.DdsSize;
        // The DDS image starts at offset 16 and must hold at least its 4 + 124 header bytes.
        if (ddsSize < std::int32_t(4 + kLoResDdsHeaderSize) || ddsSize > kDdsImageSize)
            return fail(LndStatus::BadDdsSize, at + offsetof(TLndLoResTex, DdsSize),
                        "low-resolution texture " + std::to_string(k) + " has DdsSize " +
                            std::to_string(ddsSize) + "; it must lie between 128 and " +
                            std::to_string(kDdsImageSize));
    }
    return {};
}

LndCheck LndView::open(std::span<const std::uint8_t> image, ImageCheck level) {
    m_image = {};
    LndLayout layout;
    LndCheck check = checkImage(image, layout, level);
    if (check) {
        m_image = image;
        m_layout = layout;
    }
    return check;
}

const TLndLoResTex& LndView::loRes(std::size_t k) const {
    assert(k < m_layout.numLoResTextures && "texture index out of range");
    return *recordAt<TLndLoResTex>(m_image.data(), m_layout.loResOffset + k * kLoResTexSize);
}

const TLndBlock& LndView::block(std::size_t record) const {
    assert(record < std::size_t(m_layout.numBlockRecords) && "block record out of range");
    return *recordAt<TLndBlock>(m_image.data(), m_layout.blocksOffset + record * kBlockSize);
}

const TLndCountry& LndView::country(std::size_t c) const {
    assert(c < std::size_t(m_layout.numCountries) && "country index out of range");
    return *recordAt<TLndCountry>(m_image.data(), m_layout.countriesOffset + c * kCountrySize);
}

const TLndMaterial& LndView::material(std::size_t m) const {
    assert(m < std::size_t(m_layout.numMaterials) && "material index out of range");
    return *recordAt<TLndMaterial>(m_image.data(), m_layout.materialsOffset + m * kMaterialSize);
}

const TLndNoiseMap& LndView::noiseMap() const {
    return *recordAt<TLndNoiseMap>(m_image.data(), m_layout.noiseOffset);
}

const TLndBumpMap& LndView::bumpMap() const {
    return *recordAt<TLndBumpMap>(m_image.data(), m_layout.bumpOffset);
}

LndParts partsOf(const LndView& view) {
    assert(view.valid() && "partsOf needs an opened view");
    const LndLayout& l = view.layout();
    const std::uint8_t* base = view.image().data();
    LndParts parts;
    parts.header = view.header();
    parts.loRes = {recordAt<TLndLoResTex>(base, l.loResOffset), l.numLoResTextures};
    parts.blocks = {recordAt<TLndBlock>(base, l.blocksOffset), std::size_t(l.numBlockRecords)};
    parts.countries = {recordAt<TLndCountry>(base, l.countriesOffset), std::size_t(l.numCountries)};
    parts.materials = {recordAt<TLndMaterial>(base, l.materialsOffset), std::size_t(l.numMaterials)};
    parts.noiseMap = &view.noiseMap();
    parts.bumpMap = &view.bumpMap();
    return parts;
}

std::vector<std::uint8_t> writePlain(const LndParts& parts) {
    std::vector<std::uint8_t> out;
    out.reserve(plainSize(parts));
    TLndHeader header = headerWithCounts(parts);
    header.NumBlocks = static_cast<std::int32_t>(parts.blocks.size() + 1);
    appendBytes(out, &header, kHeaderSize);
    appendBytes(out, parts.loRes.data(), parts.loRes.size_bytes());
    appendBytes(out, parts.blocks.data(), parts.blocks.size_bytes());
    appendTail(out, parts);
    return out;
}

std::vector<std::uint8_t> writeCompacting(const LndParts& parts) {
    std::vector<std::uint8_t> out;
    out.reserve(plainSize(parts));
    TLndHeader header = headerWithCounts(parts);
    appendBytes(out, &header, kHeaderSize);  // rewritten below with the new table
    appendBytes(out, parts.loRes.data(), parts.loRes.size_bytes());

    std::int32_t written = 0;
    header.BlockSize = 0;
    for (int gx = 0; gx < kGridSize; ++gx) {
        for (int gz = 0; gz < kGridSize; ++gz) {
            const int number = header.BlockIndex[gx][gz];
            if (number == 0 || std::size_t(number) > parts.blocks.size()) {
                header.BlockIndex[gx][gz] = 0;
                continue;
            }
            // Block numbers are one byte in BlockIndex: a 256th block (only possible when
            // squares share a record) could not be addressed, so its square becomes sea.
            if (written == 255) {
                header.BlockIndex[gx][gz] = 0;
                continue;
            }
            TLndBlock block = parts.blocks[number - 1];
            ++written;
            block.BlockNumber = written;
            header.BlockIndex[gx][gz] = static_cast<std::uint8_t>(written);
            header.BlockSize = header.BlockSize + std::int32_t(kBlockSize);
            appendBytes(out, &block, kBlockSize);
        }
    }
    header.NumBlocks = written + 1;
    appendTail(out, parts);
    std::memcpy(out.data(), &header, kHeaderSize);
    return out;
}

}  // namespace lnd
