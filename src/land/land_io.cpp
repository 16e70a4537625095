// CLand::Load and CLand::Save: moving a land between its file and memory.
//
// Save folds what the edits left in the full-detail meshes (heights, diagonals) back into the
// cells, brings the low-resolution records in line with their device textures and writes the
// file through a temporary beside the target, so a failed save never costs the old file.

#include "land/land.h"

#include "base/settings.h"
#include "land/land_settings.h"
#include "d3dframework/mesh.h"
#include "d3dframework/texture.h"
#include "base/file_io.h"
#include "codec/image.h"
#include "codec/texture_compressor.h"
#include "codec/pixel_swizzle.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

namespace lnd {

namespace {

constexpr int kLoResSide = 256;
constexpr int kDxt3RowBytes = kLoResSide / 4 * 16;   // one row of 4 x 4 blocks
constexpr int kDxt3Rows = kLoResSide / 4;

std::uint8_t heightByte(float y) {
    if (!(y > 0.0f)) return 0;   // NaN and negatives
    if (y >= 255.0f) return 255;
    return static_cast<std::uint8_t>(y);
}

// The corner (0 or 1 along each axis) of a vertex inside its square, from its position
// relative to the other corners of the same triangle: never an index outside the block,
// whatever MapX, MapZ or the heights hold.
int cornerOf(const glm::vec3& p, float maxX, float maxZ) {
    return (p.x == maxX ? 2 : 0) | (p.z == maxZ ? 1 : 0);   // bit 1: +i, bit 0: +j
}

}  // namespace

// ---- Load -----------------------------------------------------------------------------

void CLand::releaseLand() {
    releaseImage();
    releaseTextures();
    m_bounds.reset();
    m_loaded = false;
    m_modified = false;
}

bool landRefusedAsInvalid(const Result& result) {
    const std::string& m = result.message();
    const std::string reason = kBlocksAtOriginReason;
    return result.status() == Status::BadInput && m.size() >= reason.size() &&
           m.compare(m.size() - reason.size(), reason.size(), reason) == 0;
}

Result CLand::readLandFile(const std::string& path, std::vector<std::uint8_t>& image) {
    image.clear();
    try {
        if (Result r = readWholeFile(path, image); !r) return r;
        LndView view;
        if (LndCheck check = view.open(image); !check) {
            image.clear();
            return Result::badInputAt(check.offset, path + ": " + check.message);
        }
        const LndLayout& layout = view.layout();
        // Two blocks at the origin is how a land damaged by another tool looks: opening it
        // would put both on one square.
        int atOrigin = 0;
        for (int b = 0; b < layout.numBlockRecords; ++b) {
            const TLndBlock& block = view.block(std::size_t(b));
            if (float(block.MapX) == 0.0f && float(block.MapZ) == 0.0f && ++atOrigin == 2) {
                image.clear();
                return Result::badInputAt(layout.blocksOffset + std::size_t(b) * sizeof(TLndBlock) +
                                              offsetof(TLndBlock, MapX),
                                          path + ": " + kBlocksAtOriginReason);
            }
        }
    } catch (const std::bad_alloc&) {
        // A file too large for memory is a file that cannot be read, not the end of the
        // program.
        image.clear();
        image.shrink_to_fit();
        return Result::failure(Status::OutOfMemory, path + ": out of memory");
    }
    return Result::success();
}

void CLand::takeLoaded(std::vector<std::uint8_t> image, const std::string& path, const LandSettings& settings) {
    m_seaParms = settings.sea;
    m_blocksDeleted = false;   // a new file has had nothing deleted yet
    m_history.clear();
    m_materialsExported = m_noiseExported = m_bumpExported = false;
    m_debug = settings.debug;
    m_debugVideo = settings.debugVideo;
    m_exportDir.clear();
    // readLandFile checked the image: adopting it again cannot fail.
    adoptImage(std::move(image));
    m_landPath = path;
    m_exportRoot = settings.exportRoot;
    m_exportSettings = settings.exports;

    releaseTextures();
    m_bounds.reset();
    m_modified = false;
    m_loaded = hasImage();
}

Result CLand::Load(const std::string& path, const LandSettings& settings) {
    std::vector<std::uint8_t> image;
    Result read = readLandFile(path, image);
    if (!read) {
        m_seaParms = settings.sea;
        m_blocksDeleted = false;
        m_history.clear();
        m_materialsExported = m_noiseExported = m_bumpExported = false;
        m_exportDir.clear();
        releaseLand();
        return read;
    }
    takeLoaded(std::move(image), path, settings);
    return read;
}

// ---- Save -----------------------------------------------------------------------------

namespace {

// The heights and diagonals of one block's full mesh written back into its cells.
void foldMeshBack(const DeviceMesh* mesh, TLndBlock& block) {
    // The full mesh holds two triangles per square in cell order (i outer), three unshared
    // vertices each; anything else is not ours to read.
    if (mesh == nullptr || mesh->format() != VertexFormat::Terrain ||
        mesh->faceCount() != std::uint32_t(2 * kSquaresPerSide * kSquaresPerSide))
        return;
    const std::span<const std::uint16_t> indices = mesh->indices();
    if (indices.size() < std::size_t(3) * mesh->faceCount()) return;
    // Positions straight from the vertex bytes: a save reads every vertex of every block.
    const std::uint8_t* const vertices = mesh->vertexBytes();
    const std::size_t stride = mesh->stride();
    const std::uint32_t vertexCount = mesh->vertexCount();

    for (int s = 0; s < kSquaresPerSide * kSquaresPerSide; ++s) {
        const int i = s / kSquaresPerSide, j = s % kSquaresPerSide;
        std::array<glm::vec3, 6> p{};
        bool inRange = true;
        for (int k = 0; k < 6; ++k) {
            const std::uint16_t v = indices[std::size_t(6 * s + k)];
            if (v >= vertexCount) inRange = false;
            else std::memcpy(&p[std::size_t(k)], vertices + v * stride, sizeof(glm::vec3));
        }
        if (!inRange) continue;

        float maxX = p[0].x, maxZ = p[0].z;
        for (const glm::vec3& q : p) {
            maxX = std::max(maxX, q.x);
            maxZ = std::max(maxZ, q.z);
        }
        // Corners named by each triangle: the diagonal is the pair both share.
        unsigned first = 0, second = 0;
        for (int k = 0; k < 6; ++k) {
            const int c = cornerOf(p[std::size_t(k)], maxX, maxZ);
            TLndCell& cell = block.Cells[i + (c >> 1)][j + (c & 1)];
            cell.Altitude = heightByte(p[std::size_t(k)].y);
            (k < 3 ? first : second) |= 1u << c;
        }
        const unsigned shared = first & second;
        constexpr unsigned kCornerA = 1u << 0, kCornerB = 1u << 2, kCornerC = 1u << 1, kCornerD = 1u << 3;
        TLndCell& a = block.Cells[i][j];
        if (shared == (kCornerB | kCornerC)) a.CellFlags = std::uint16_t(a.CellFlags | kSplit);
        else if (shared == (kCornerA | kCornerD)) a.CellFlags = std::uint16_t(a.CellFlags & ~kSplit);
    }
}

}  // namespace

void CLand::foldMeshesBack(std::span<const DeviceMesh* const> fullMeshes) {
    const std::span<TLndBlock> all = blocks();
    const std::size_t count = std::min(all.size(), fullMeshes.size());
    // Each block reads only its own mesh and writes only its own cells; reading every vertex
    // is most of a quick save, so a second thread takes the second half when one is to be had.
    auto fold = [&](std::size_t from, std::size_t to) {
        for (std::size_t b = from; b < to; ++b) foldMeshBack(fullMeshes[b], all[b]);
    };
    constexpr std::size_t kWorthASecondThread = 32;
    std::thread second;
    std::size_t half = count;
    if (count >= kWorthASecondThread && std::thread::hardware_concurrency() > 1) {
        try {
            second = std::thread(fold, count / 2, count);
            half = count / 2;
        } catch (const std::system_error&) {
            // no thread to be had: this one folds them all
        }
    }
    fold(0, half);
    if (second.joinable()) second.join();

    // A country index the table does not hold would make every reader of the file guess.
    const int countries = numCountries();
    if (countries < 1) return;
    for (TLndBlock& block : all) {
        for (auto& row : block.Cells) {
            for (TLndCell& cell : row) {
                if (int(cell.CellFlags & kCountryMask) >= countries)
                    cell.CellFlags = std::uint16_t((cell.CellFlags & ~kCountryMask) |
                                                   std::uint16_t(countries - 1));
            }
        }
    }
}

void CLand::copyLoResTexturesBack() {
    const std::span<TLndLoResTex> records = loResTex();
    const bool debugVideo = m_debugVideo;
    for (std::size_t l = 0; l < records.size(); ++l) {
        if (!m_textures.loRes().has(l)) {
            m_saveNotes.push_back({SaveNote::Kind::NoSurface});
            continue;
        }
        DeviceTexture& texture = *m_textures.loRes().at(l);
        SurfaceDesc desc;
        if (deviceFailed(texture.levelDesc(0, desc))) {
            m_saveNotes.push_back({SaveNote::Kind::NoDescription});
            continue;
        }
        if (debugVideo) m_saveNotes.push_back({SaveNote::Kind::SurfaceDescription, desc});
        std::uint8_t* data = records[l].Data;
        // Only a surface of the record's own size can fill it; any other (made from an odd
        // record header) cannot have been changed by a tile refresh either, so the record is
        // already what it shows.
        const bool fits = desc.width == std::uint32_t(kLoResSide) && desc.height == std::uint32_t(kLoResSide);

        if (desc.format == TextureFormat::Dxt3) {
            if (!fits) continue;
            LockedRect locked;
            if (deviceFailed(texture.lockRect(0, locked, nullptr, LockMode::ReadOnly))) {
                m_saveNotes.push_back({SaveNote::Kind::LockFailed});
                continue;
            }
            if (locked.pitch != kDxt3RowBytes)
                m_saveNotes.push_back({SaveNote::Kind::UnexpectedPitch, desc, int(locked.pitch)});
            for (int r = 0; r < kDxt3Rows; ++r)
                std::memcpy(data + std::size_t(r) * kDxt3RowBytes, locked.bits + std::ptrdiff_t(r) * locked.pitch,
                            kDxt3RowBytes);
            texture.unlockRect(0);
        } else if (desc.format == TextureFormat::A8R8G8B8) {
            if (!fits) continue;
            LockedRect locked;
            if (deviceFailed(texture.lockRect(0, locked, nullptr, LockMode::ReadOnly))) {
                m_saveNotes.push_back({SaveNote::Kind::Unsupported});
                continue;
            }
            CImage32 image(kLoResSide, kLoResSide);
            for (int y = 0; y < kLoResSide; ++y)
                reversePixelBytes(locked.bits + std::ptrdiff_t(y) * locked.pitch, image.pixel(0, y), kLoResSide);
            texture.unlockRect(0);
            CTextureCompressor compressor;
            if (compressor.Compress(image) == 0 && compressor.size() == kLoResDataSize)
                std::memcpy(data, compressor.data(), kLoResDataSize);
            compressor.release();
        } else {
            m_saveNotes.push_back({SaveNote::Kind::Unsupported});
        }
    }
}

Result CLand::Save(const std::string& path) {
    m_saveNotes.clear();
    if (!m_loaded || !hasImage()) return Result::failure(Status::NotPossible, "no land is open");
    Result written;
    try {
        written = saveFile(path);
    } catch (const std::bad_alloc&) {
        // No memory for a compacted copy or a texture: the file on disk was never touched.
        written = Result::failure(Status::OutOfMemory, path + ": out of memory");
    }
    if (written) m_modified = false;
    return written;
}

Result CLand::saveFile(const std::string& path) {
    copyLoResTexturesBack();

    if (m_blocksDeleted) {
        // The compacting writer renumbers a copy; the image keeps the numbers every table
        // and link of the loaded land is indexed by.
        return writeFileAtomic(path, writeCompacting(parts()));
    }
    // The plain form is the image itself with the file's block count, written in place; the
    // count goes back whatever happens.
    struct CountBack {
        CLand& land;
        ~CountBack() { land.header()->NumBlocks = land.numBlocks(); }
    } countBack{*this};
    header()->NumBlocks = numBlocks() + 1;
    return writeFileAtomic(path, fileImage().first(std::size_t(m_layout.fileSize)));
}

}  // namespace lnd
