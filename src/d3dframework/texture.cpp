#include "d3dframework/texture.h"

#include "d3dframework/texel_region.h"
#include "codec/dds.h"
#include "codec/pixel_swizzle.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace lnd {

namespace {

DdsKind ddsKindOf(TextureFormat format) {
    return format == TextureFormat::Dxt3 ? DdsKind::Dxt3 : DdsKind::Bgra32;
}

}  // namespace

namespace {

// More pending rectangles than this are cheaper to upload as one whole level.
constexpr std::size_t kMaxDirtyRects = 64;

std::uint32_t fullChainLength(std::uint32_t width, std::uint32_t height) {
    std::uint32_t levels = 1;
    for (std::uint32_t s = std::max(width, height); s > 1; s >>= 1) ++levels;
    return levels;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// DeviceTexture
// ---------------------------------------------------------------------------------------

DeviceResult DeviceTexture::create(std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                                   TextureFormat format, std::unique_ptr<DeviceTexture>& out, TexelInit init) {
    out.reset();
    if (width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize) return kDeviceInvalidCall;
    if (format != TextureFormat::A8R8G8B8 && format != TextureFormat::Dxt3) return kDeviceInvalidCall;
    const std::uint32_t chain = fullChainLength(width, height);
    if (levels == 0 || levels > chain) levels = chain;
    std::unique_ptr<DeviceTexture> tex(new (std::nothrow) DeviceTexture);
    if (!tex) return kDeviceOutOfMemory;
    tex->m_format = format;
    try {
        tex->m_levels.resize(levels);
        std::uint32_t w = width, h = height;
        for (Level& level : tex->m_levels) {
            level.width = w;
            level.height = h;
            level.pitch = ddsRowPitch(ddsKindOf(format), w);
            level.byteSize = ddsDataBytes(ddsKindOf(format), w, h);
            w = std::max(1u, w / 2);
            h = std::max(1u, h / 2);
        }
        // The smaller levels wait for their first reader.
        Level& top = tex->m_levels.front();
        if (init == TexelInit::Zero) top.bytes.assign(top.byteSize, 0);
        else top.bytes.resize(top.byteSize);
    } catch (const std::bad_alloc&) {
        return kDeviceOutOfMemory;
    }
    tex->m_levelsMade = levels == 1;
    tex->m_changeCount = 1;
    tex->m_dirty = {Rect{0, 0, int(width), int(height)}};
    tex->m_levelsDirty = levels > 1;
    tex->m_unfiltered = Rect{0, 0, int(width), int(height)};
    out = std::move(tex);
    return kDeviceOk;
}

std::uint32_t DeviceTexture::levelWidth(std::uint32_t level) const {
    return level < m_levels.size() ? m_levels[level].width : 0;
}

std::uint32_t DeviceTexture::levelHeight(std::uint32_t level) const {
    return level < m_levels.size() ? m_levels[level].height : 0;
}

std::size_t DeviceTexture::levelPitch(std::uint32_t level) const {
    return level < m_levels.size() ? m_levels[level].pitch : 0;
}

std::size_t DeviceTexture::levelByteSize(std::uint32_t level) const {
    return level < m_levels.size() ? m_levels[level].byteSize : 0;
}

DeviceResult DeviceTexture::levelDesc(std::uint32_t level, SurfaceDesc& out) const {
    if (level >= m_levels.size()) return kDeviceInvalidCall;
    out = SurfaceDesc{};
    out.format = m_format;
    out.size = static_cast<std::uint32_t>(m_levels[level].byteSize);
    out.width = m_levels[level].width;
    out.height = m_levels[level].height;
    return kDeviceOk;
}

DeviceResult DeviceTexture::lockRect(std::uint32_t level, LockedRect& out, const Rect* rect, LockMode mode) {
    out = LockedRect{};
    if (level >= m_levels.size()) return kDeviceInvalidCall;
    Level& l = m_levels[level];
    if (l.locked) return kDeviceInvalidCall;
    const Rect r = rect ? *rect : Rect{0, 0, int(l.width), int(l.height)};
    if (!rectInside(r, l.width, l.height)) return kDeviceInvalidCall;
    if (level > 0) {
        makeSmallerLevels();
        if (l.bytes.size() != l.byteSize) return kDeviceOutOfMemory;
    }
    std::size_t offset;
    if (m_format == TextureFormat::Dxt3) {
        // Locks hand out whole blocks: a rectangle must start on a block and end on one or
        // at the level's edge.
        const auto onBlock = [](int v, std::uint32_t edge) { return v % 4 == 0 || v == int(edge); };
        if (r.left % 4 || r.top % 4 || !onBlock(r.right, l.width) || !onBlock(r.bottom, l.height))
            return kDeviceInvalidCall;
        offset = std::size_t(r.top / 4) * l.pitch + std::size_t(r.left / 4) * 16;
    } else {
        offset = std::size_t(r.top) * l.pitch + std::size_t(r.left) * 4;
    }
    l.locked = true;
    l.writeLock = mode == LockMode::ReadWrite;
    l.lockedRect = r;
    out.pitch = static_cast<int>(l.pitch);
    out.bits = l.bytes.data() + offset;
    return kDeviceOk;
}

DeviceResult DeviceTexture::unlockRect(std::uint32_t level) {
    if (level >= m_levels.size() || !m_levels[level].locked) return kDeviceInvalidCall;
    Level& l = m_levels[level];
    l.locked = false;
    if (l.writeLock) noteChanged(level, l.lockedRect);
    return kDeviceOk;
}

DeviceResult DeviceTexture::addDirtyRect(const Rect* rect) {
    const Rect r = rect ? *rect : Rect{0, 0, int(width()), int(height())};
    if (!rectInside(r, width(), height())) return kDeviceInvalidCall;
    noteChanged(0, r);
    return kDeviceOk;
}

const std::uint8_t* DeviceTexture::levelBytes(std::uint32_t level) const {
    if (level >= m_levels.size()) return nullptr;
    if (level > 0) makeSmallerLevels();
    return m_levels[level].bytes.empty() ? nullptr : m_levels[level].bytes.data();
}

std::uint8_t* DeviceTexture::mutableLevelBytes(std::uint32_t level) {
    if (level >= m_levels.size()) return nullptr;
    if (level > 0) makeSmallerLevels();
    return m_levels[level].bytes.empty() ? nullptr : m_levels[level].bytes.data();
}

bool DeviceTexture::isLocked(std::uint32_t level) const {
    return level < m_levels.size() && m_levels[level].locked;
}

void DeviceTexture::requestFilter() {
    if (m_levels.size() < 2 || m_unfiltered.width() <= 0 || m_unfiltered.height() <= 0) {
        m_unfiltered = Rect{};
        return;
    }
    m_filterPending = true;
    ++m_changeCount;
    m_levelsDirty = true;
}

void DeviceTexture::clearDirty() {
    m_dirty.clear();
    m_levelsDirty = false;
}

void DeviceTexture::noteChanged(std::uint32_t level, const Rect& rect) {
    ++m_changeCount;
    if (level != 0) {
        m_levelsDirty = true;
        return;
    }
    const Rect whole{0, 0, int(width()), int(height())};
    m_unfiltered = m_unfiltered.width() <= 0 ? rect
                                             : Rect{std::min(m_unfiltered.left, rect.left), std::min(m_unfiltered.top, rect.top),
                                                    std::max(m_unfiltered.right, rect.right), std::max(m_unfiltered.bottom, rect.bottom)};
    Rect r = rect;
    if (m_format == TextureFormat::Dxt3) {
        // The renderer uploads compressed data in whole blocks.
        r.left &= ~3;
        r.top &= ~3;
        r.right = std::min((r.right + 3) & ~3, whole.right);
        r.bottom = std::min((r.bottom + 3) & ~3, whole.bottom);
    }
    if (!m_dirty.empty() && m_dirty.front() == whole) return;
    if (r == whole || m_dirty.size() >= kMaxDirtyRects) {
        m_dirty = {whole};
        return;
    }
    m_dirty.push_back(r);
}

// ---------------------------------------------------------------------------------------
// Creation, copies, filtering, reading back
// ---------------------------------------------------------------------------------------

DeviceResult createTextureFromMemory(const void* data, std::size_t size, std::unique_ptr<DeviceTexture>& out) {
    out.reset();
    DdsLevel level;
    if (!locateDdsLevel(static_cast<const std::uint8_t*>(data), size, kMaxTextureSize, level)) return kDeviceInvalidData;
    const TextureFormat format = level.kind == DdsKind::Dxt3 ? TextureFormat::Dxt3 : TextureFormat::A8R8G8B8;
    std::unique_ptr<DeviceTexture> tex;
    const DeviceResult made = DeviceTexture::create(level.width, level.height, 0, format, tex, TexelInit::Undefined);
    if (deviceFailed(made)) return made;
    std::memcpy(tex->mutableLevelBytes(0), static_cast<const std::uint8_t*>(data) + level.dataOffset, level.bytes);
    const DeviceResult filtered = filterTexture(*tex, 0);
    if (deviceFailed(filtered)) return filtered;
    out = std::move(tex);
    return kDeviceOk;
}

DeviceResult loadSurfaceFromSurface(DeviceTexture& dst, std::uint32_t dstLevel, const Rect* dstRect,
                                    const DeviceTexture& src, std::uint32_t srcLevel, const Rect* srcRect,
                                    TextureFilter filter) {
    if (filter != TextureFilter::Point) return kDeviceInvalidCall;
    if (dstLevel >= dst.levelCount() || srcLevel >= src.levelCount()) return kDeviceInvalidCall;
    if (dst.isLocked(dstLevel) || src.isLocked(srcLevel)) return kDeviceInvalidCall;
    const std::uint32_t dw = dst.levelWidth(dstLevel), dh = dst.levelHeight(dstLevel);
    const std::uint32_t sw = src.levelWidth(srcLevel), sh = src.levelHeight(srcLevel);
    const Rect d = dstRect ? *dstRect : Rect{0, 0, int(dw), int(dh)};
    const Rect s = srcRect ? *srcRect : Rect{0, 0, int(sw), int(sh)};
    if (!rectInside(d, dw, dh) || !rectInside(s, sw, sh)) return kDeviceInvalidCall;

    std::vector<std::uint8_t> from, to;
    const bool direct = src.format() == TextureFormat::A8R8G8B8;
    try {
        // Uncompressed texels are picked straight from the source; compressed ones are
        // decoded first.
        if (!direct) from = readRegionArgb(src, srcLevel, s);
        to.resize(std::size_t(d.width()) * d.height() * 4);
    } catch (const std::bad_alloc&) {
        return kDeviceOutOfMemory;
    }
    // Each destination texel takes the source texel under its centre.
    const std::int64_t sW = s.width(), sH = s.height(), dW = d.width(), dH = d.height();
    const std::uint8_t* const srcBytes = src.levelBytes(srcLevel);
    const std::size_t srcPitch = src.levelPitch(srcLevel);
    for (std::int64_t y = 0; y < dH; ++y) {
        const std::int64_t sy = (2 * y + 1) * sH / (2 * dH);
        for (std::int64_t x = 0; x < dW; ++x) {
            const std::int64_t sx = (2 * x + 1) * sW / (2 * dW);
            std::uint8_t* out = &to[std::size_t(y * dW + x) * 4];
            if (direct)
                reversePixelBytes(srcBytes + std::size_t(s.top + sy) * srcPitch + std::size_t(s.left + sx) * 4, out, 1);
            else
                std::memcpy(out, &from[std::size_t(sy * sW + sx) * 4], 4);
        }
    }
    writeRegionArgb(dst, dstLevel, d, to.data());
    dst.noteChanged(dstLevel, d);
    return kDeviceOk;
}

namespace {

// Remakes the texels of every level after `srcLevel` that lie under `changed` (a rectangle of
// `srcLevel`). `note` records the changes; a deferred filtering was recorded when requested.
DeviceResult filterNow(DeviceTexture& texture, std::uint32_t srcLevel, const Rect& changed, bool note) {
    if (changed.width() <= 0 || changed.height() <= 0) return kDeviceOk;
    const std::uint32_t sw = texture.levelWidth(srcLevel), sh = texture.levelHeight(srcLevel);
    const bool blocks = texture.format() == TextureFormat::Dxt3;
    // Per level: the texels to remake, and the source texels under them.
    std::vector<Rect> targets, sources;
    Rect all{int(sw), int(sh), 0, 0};
    for (std::uint32_t l = srcLevel + 1; l < texture.levelCount(); ++l) {
        const int k = int(l - srcLevel);
        const int w = int(texture.levelWidth(l)), h = int(texture.levelHeight(l));
        Rect r{changed.left >> k, changed.top >> k, (changed.right + (1 << k) - 1) >> k,
               (changed.bottom + (1 << k) - 1) >> k};
        if (blocks) {
            r.left &= ~3;
            r.top &= ~3;
            r.right = (r.right + 3) & ~3;
            r.bottom = (r.bottom + 3) & ~3;
        }
        r.right = std::min(r.right, w);
        r.bottom = std::min(r.bottom, h);
        // A level of side 1 keeps covering the first texels even when the source side is no
        // power of two.
        const Rect src{std::min(r.left << k, int(sw) - 1), std::min(r.top << k, int(sh) - 1),
                       std::min(r.right << k, int(sw)), std::min(r.bottom << k, int(sh))};
        targets.push_back(r);
        sources.push_back(src);
        all = Rect{std::min(all.left, src.left), std::min(all.top, src.top), std::max(all.right, src.right),
                   std::max(all.bottom, src.bottom)};
    }
    try {
        const std::vector<std::uint8_t> from = readRegionArgb(texture, srcLevel, all);
        const std::uint8_t* const fromTexels = from.data();
        const std::size_t fromPitch = std::size_t(all.width()) * 4;
        for (std::uint32_t l = srcLevel + 1; l < texture.levelCount(); ++l) {
            const int k = int(l - srcLevel);
            const Rect r = targets[l - srcLevel - 1];
            const Rect s = sources[l - srcLevel - 1];
            std::vector<std::uint8_t> to(std::size_t(r.width()) * r.height() * 4);
            for (int y = r.top; y < r.bottom; ++y) {
                const int y0 = std::max(y << k, s.top) - all.top, y1 = std::min((y + 1) << k, s.bottom) - all.top;
                for (int x = r.left; x < r.right; ++x) {
                    const int x0 = std::max(x << k, s.left) - all.left, x1 = std::min((x + 1) << k, s.right) - all.left;
                    unsigned sum[4] = {0, 0, 0, 0};
                    for (int yy = y0; yy < y1; ++yy) {
                        const std::uint8_t* t = fromTexels + std::size_t(yy) * fromPitch + std::size_t(x0) * 4;
                        for (int xx = x0; xx < x1; ++xx, t += 4)
                            for (int c = 0; c < 4; ++c) sum[c] += t[c];
                    }
                    const unsigned n = unsigned((y1 - y0) * (x1 - x0));
                    std::uint8_t* o = &to[(std::size_t(y - r.top) * r.width() + (x - r.left)) * 4];
                    for (int c = 0; c < 4; ++c) o[c] = static_cast<std::uint8_t>(n ? (sum[c] + n / 2) / n : 0);
                }
            }
            writeRegionArgb(texture, l, r, to.data());
            if (note) texture.noteChanged(l, r);
        }
    } catch (const std::bad_alloc&) {
        return kDeviceOutOfMemory;
    }
    return kDeviceOk;
}


}  // namespace

void DeviceTexture::makeSmallerLevels() const {
    if (!m_levelsMade) {
        try {
            for (std::size_t l = 1; l < m_levels.size(); ++l) m_levels[l].bytes.assign(m_levels[l].byteSize, 0);
        } catch (const std::bad_alloc&) {
            for (std::size_t l = 1; l < m_levels.size(); ++l) m_levels[l].bytes = {};
            return;   // readers see no bytes, as for a level that cannot be had
        }
        m_levelsMade = true;
    }
    if (m_filterPending) {
        m_filterPending = false;
        const Rect changed = m_unfiltered;
        m_unfiltered = Rect{};
        // The texture's bytes are its own; the change was counted when the filtering was asked for.
        (void)filterNow(const_cast<DeviceTexture&>(*this), 0, changed, false);
    }
}

DeviceResult filterTexture(DeviceTexture& texture, std::uint32_t srcLevel) {
    if (srcLevel >= texture.levelCount()) return kDeviceInvalidCall;
    for (std::uint32_t l = srcLevel; l < texture.levelCount(); ++l) {
        if (texture.isLocked(l)) return kDeviceInvalidCall;
    }
    if (srcLevel == 0) {
        // Remaking only what changed keeps a tile refresh of a large DXT3 texture from
        // re-encoding every smaller level; deferring it keeps a texture nobody draws from
        // paying for them at all.
        texture.requestFilter();
        return kDeviceOk;
    }
    return filterNow(texture, srcLevel, Rect{0, 0, int(texture.levelWidth(srcLevel)), int(texture.levelHeight(srcLevel))},
                     true);
}

DeviceResult readLevel0Argb(const DeviceTexture& texture, std::vector<std::uint8_t>& out) {
    out.clear();
    if (texture.levelCount() == 0) return kDeviceInvalidCall;
    try {
        out = readRegionArgb(texture, 0, Rect{0, 0, int(texture.width()), int(texture.height())});
    } catch (const std::bad_alloc&) {
        return kDeviceOutOfMemory;
    }
    return kDeviceOk;
}

}  // namespace lnd
