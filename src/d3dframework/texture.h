// Device textures kept in CPU memory: a format, a lockable level 0 and smaller levels remade
// from it on request. Each texture counts its changes and records the level-0 rectangles that
// changed, so a renderer mirroring it on the GPU uploads only what is new.
//
// The smaller levels cost memory and time that only drawing repays (a save or an export reads
// level 0 alone), so they are made when first read: their storage on the first access of any
// level above 0, and a requested filtering at the first read after the request.
//
// Formats: DXT3 (16-byte blocks of 4 x 4 texels, rows of blocks) and A8R8G8B8 (four bytes per
// texel in the order blue, green, red, alpha). Everything here is safe on untrusted DDS bytes:
// a bad image is refused with a result code and nothing is read past the buffer handed in.
#pragma once

#include "d3dframework/device_result.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace lnd {

enum class TextureFormat : std::uint32_t {
    A8R8G8B8 = 21,
    Dxt3 = 0x33545844,   // the four-character code "DXT3" read as a little-endian word
};

// A rectangle of texels, right and bottom exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

inline constexpr std::uint32_t kResourceTypeSurface = 1;
inline constexpr std::uint32_t kPoolManaged = 1;

// What the land save shows when asked for video details; the values are fixed for this
// layer except format, size and dimensions.
struct SurfaceDesc {
    TextureFormat format = TextureFormat::A8R8G8B8;
    std::uint32_t type = kResourceTypeSurface;
    std::uint32_t usage = 0;
    std::uint32_t pool = kPoolManaged;
    std::uint32_t size = 0;          // bytes of the level
    std::uint32_t multiSample = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

struct LockedRect {
    int pitch = 0;                   // bytes from one row (of blocks, for DXT3) to the next
    std::uint8_t* bits = nullptr;    // the first texel (block) of the locked rectangle
};

// Only point sampling is offered for surface copies.
enum class TextureFilter : std::uint32_t { Point = 2 };

inline constexpr std::uint32_t kMaxTextureSize = 4096;

// What a new texture's level 0 holds: zeroed texels, or whatever the memory held, for a
// creator that overwrites the whole level at once (the smaller levels always start zeroed).
enum class TexelInit { Zero, Undefined };

class DeviceTexture {
public:
    // A texture of zeroed texels. `levels` 0 makes the whole chain down to 1 x 1. Width and
    // height must be 1..kMaxTextureSize.
    static DeviceResult create(std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                               TextureFormat format, std::unique_ptr<DeviceTexture>& out,
                               TexelInit init = TexelInit::Zero);

    TextureFormat format() const { return m_format; }
    std::uint32_t width() const { return levelWidth(0); }
    std::uint32_t height() const { return levelHeight(0); }
    std::uint32_t levelCount() const { return static_cast<std::uint32_t>(m_levels.size()); }

    // Level geometry; 0 for a level that does not exist.
    std::uint32_t levelWidth(std::uint32_t level) const;
    std::uint32_t levelHeight(std::uint32_t level) const;
    std::size_t levelPitch(std::uint32_t level) const;
    std::size_t levelByteSize(std::uint32_t level) const;

    DeviceResult levelDesc(std::uint32_t level, SurfaceDesc& out) const;

    // Locks a level (whole when `rect` is null). DXT3 rectangles must lie on 4 x 4 block
    // boundaries (or the level's edge). A level is locked at most once at a time. A
    // read-write lock of level 0 records its rectangle as dirty; the change counter moves at
    // the unlock.
    DeviceResult lockRect(std::uint32_t level, LockedRect& out, const Rect* rect, LockMode mode);
    DeviceResult unlockRect(std::uint32_t level);

    // Records a level-0 rectangle (whole when null) as changed.
    DeviceResult addDirtyRect(const Rect* rect);

    // Unlocked access for readers and the renderer; null for a level that does not exist.
    // Reading a smaller level first carries out a pending filtering (see filterTexture).
    const std::uint8_t* levelBytes(std::uint32_t level) const;

    // Moves on every change of any level; above 0 from creation on.
    std::uint64_t changeCount() const { return m_changeCount; }
    // Level-0 rectangles changed since the last clearDirty(), DXT3 ones widened to whole
    // blocks; a change of the whole level is one full rectangle.
    const std::vector<Rect>& dirtyRects() const { return m_dirty; }
    // Whether any level other than 0 changed since the last clearDirty() (a filtering not yet
    // carried out counts as a change).
    bool smallerLevelsDirty() const { return m_levelsDirty; }
    void clearDirty();

    // For the layer's own operations (copies, filtering): writable bytes of a level and the
    // bookkeeping that must follow every write through them.
    std::uint8_t* mutableLevelBytes(std::uint32_t level);
    void noteChanged(std::uint32_t level, const Rect& rect);
    bool isLocked(std::uint32_t level) const;
    // The level-0 area changed since the smaller levels were last remade (empty when none).
    const Rect& unfilteredRect() const { return m_unfiltered; }
    void markFiltered() { m_unfiltered = Rect{}; }
    // Whether the smaller levels wait to be remade from level 0 at their next read, and
    // whether their storage exists yet (for tests and measurements).
    bool filterPending() const { return m_filterPending; }
    bool smallerLevelsMade() const { return m_levelsMade; }
    // filterTexture's request: the smaller levels are remade from level 0 when first read.
    void requestFilter();

private:
    // Bytes left uninitialised on growth: level 0 of a texture made from an image is written
    // whole at once, so zeroing it first is wasted work.
    template <typename T>
    struct UninitAllocator : std::allocator<T> {
        template <typename U>
        struct rebind {
            using other = UninitAllocator<U>;
        };
        UninitAllocator() = default;
        template <typename U>
        UninitAllocator(const UninitAllocator<U>&) noexcept {}
        template <typename U>
        void construct(U* p) noexcept {
            ::new (static_cast<void*>(p)) U;
        }
        template <typename U, typename... Args>
        void construct(U* p, Args&&... args) {
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
        }
    };
    struct Level {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        std::size_t pitch = 0;
        std::size_t byteSize = 0;
        std::vector<std::uint8_t, UninitAllocator<std::uint8_t>> bytes;   // empty until made
        bool locked = false;
        bool writeLock = false;
        Rect lockedRect;
    };
    DeviceTexture() = default;
    // Makes the smaller levels' storage and carries out a pending filtering. Logically const:
    // what a reader sees is the same as if both had happened when requested.
    void makeSmallerLevels() const;

    TextureFormat m_format = TextureFormat::A8R8G8B8;
    mutable std::vector<Level> m_levels;
    std::uint64_t m_changeCount = 0;
    std::vector<Rect> m_dirty;
    bool m_levelsDirty = false;
    mutable Rect m_unfiltered;
    mutable bool m_filterPending = false;
    mutable bool m_levelsMade = false;
};

// A texture from a DDS image in memory ("DDS " magic, 124-byte header, then level 0 data):
// 32-bit texels with masks red 0xFF0000, green 0xFF00, blue 0xFF and alpha 0xFF000000, or
// DXT3 blocks. Further levels in the image are ignored; the whole chain is remade from level 0.
DeviceResult createTextureFromMemory(const void* data, std::size_t size,
                                     std::unique_ptr<DeviceTexture>& out);

// Scales the source rectangle into the destination rectangle (whole levels when null) with
// point sampling. The source is read before anything is written, so both may be the same
// texture. A DXT3 destination re-encodes only the blocks the rectangle touches; blocks only
// partly covered keep their other texels as closely as DXT3 allows. Negative on failure, and
// the destination is then unchanged.
DeviceResult loadSurfaceFromSurface(DeviceTexture& dst, std::uint32_t dstLevel, const Rect* dstRect,
                                    const DeviceTexture& src, std::uint32_t srcLevel,
                                    const Rect* srcRect, TextureFilter filter);

// Remakes every level after `srcLevel` with a box filter: texel (x, y) of level l is the
// rounded mean of the 2^k x 2^k texels of `srcLevel` it covers, k = l - srcLevel. From level
// 0 only the part under level-0 changes since the last filtering is remade, which gives the
// same texels as remaking everything; and from level 0 the work is deferred to the first read
// of a smaller level (the renderer's upload), so a texture that is never drawn never pays
// for it. The change counter and smallerLevelsDirty() move at once.
DeviceResult filterTexture(DeviceTexture& texture, std::uint32_t srcLevel = 0);

// Writes level 0 as a 24-bit BMP file (alpha is dropped), atomically.
DeviceResult saveTextureToBmp(const std::string& path, const DeviceTexture& texture);

// Level 0 as 32-bit pixels in the order alpha, red, green, blue, rows top first, tightly
// packed (what the DXT3 encoder and image code take).
DeviceResult readLevel0Argb(const DeviceTexture& texture, std::vector<std::uint8_t>& out);

}  // namespace lnd
