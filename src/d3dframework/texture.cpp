#include "d3dframework/texture.h"

#include "d3dframework/dds_image.h"
#include "d3dframework/texel_region.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace lnd {

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
                                   TextureFormat format, std::unique_ptr<DeviceTexture>& out) {
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
            level.pitch = textureLevelPitch(format, w);
            level.bytes.assign(textureLevelBytes(format, w, h), 0);
            w = std::max(1u, w / 2);
            h = std::max(1u, h / 2);
        }
    } catch (const std::bad_alloc&) {
        return kDeviceOutOfMemory;
    }
    tex->m_changeCount = 1;
    tex->m_dirty = {Rect{0, 0, int(width), int(height)}};
    tex->m_levelsDirty = levels > 1;
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
    return level < m_levels.size() ? m_levels[level].bytes.size() : 0;
}

DeviceResult DeviceTexture::levelDesc(std::uint32_t level, SurfaceDesc& out) const {
    if (level >= m_levels.size()) return kDeviceInvalidCall;
    out = SurfaceDesc{};
    out.format = m_format;
    out.size = static_cast<std::uint32_t>(m_levels[level].bytes.size());
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
    return level < m_levels.size() ? m_levels[level].bytes.data() : nullptr;
}

std::uint8_t* DeviceTexture::mutableLevelBytes(std::uint32_t level) {
    return level < m_levels.size() ? m_levels[level].bytes.data() : nullptr;
}

bool DeviceTexture::isLocked(std::uint32_t level) const {
    return level < m_levels.size() && m_levels[level].locked;
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
    DdsInfo info;
    const DeviceResult parsed = parseDdsImage(static_cast<const std::uint8_t*>(data), size, info);
    if (deviceFailed(parsed)) return parsed;
    std::unique_ptr<DeviceTexture> tex;
    const DeviceResult made = DeviceTexture::create(info.width, info.height, 0, info.format, tex);
    if (deviceFailed(made)) return made;
    std::memcpy(tex->mutableLevelBytes(0), static_cast<const std::uint8_t*>(data) + info.dataOffset, info.level0Bytes);
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
    try {
        from = readRegionArgb(src, srcLevel, s);
        to.resize(std::size_t(d.width()) * d.height() * 4);
    } catch (const std::bad_alloc&) {
        return kDeviceOutOfMemory;
    }
    // Each destination texel takes the source texel under its centre.
    const std::int64_t sW = s.width(), sH = s.height(), dW = d.width(), dH = d.height();
    for (std::int64_t y = 0; y < dH; ++y) {
        const std::int64_t sy = (2 * y + 1) * sH / (2 * dH);
        for (std::int64_t x = 0; x < dW; ++x) {
            const std::int64_t sx = (2 * x + 1) * sW / (2 * dW);
            std::memcpy(&to[std::size_t(y * dW + x) * 4], &from[std::size_t(sy * sW + sx) * 4], 4);
        }
    }
    writeRegionArgb(dst, dstLevel, d, to.data());
    dst.noteChanged(dstLevel, d);
    return kDeviceOk;
}

DeviceResult filterTexture(DeviceTexture& texture, std::uint32_t srcLevel) {
    if (srcLevel >= texture.levelCount()) return kDeviceInvalidCall;
    for (std::uint32_t l = srcLevel; l < texture.levelCount(); ++l) {
        if (texture.isLocked(l)) return kDeviceInvalidCall;
    }
    if (srcLevel + 1 == texture.levelCount()) return kDeviceOk;
    std::vector<std::uint8_t> current;
    try {
        current = readRegionArgb(texture, srcLevel,
                                 Rect{0, 0, int(texture.levelWidth(srcLevel)), int(texture.levelHeight(srcLevel))});
        for (std::uint32_t l = srcLevel + 1; l < texture.levelCount(); ++l) {
            const std::uint32_t pw = texture.levelWidth(l - 1), ph = texture.levelHeight(l - 1);
            const std::uint32_t w = texture.levelWidth(l), h = texture.levelHeight(l);
            std::vector<std::uint8_t> next(std::size_t(w) * h * 4);
            for (std::uint32_t y = 0; y < h; ++y) {
                const std::uint32_t y0 = std::min(2 * y, ph - 1), y1 = std::min(2 * y + 1, ph - 1);
                for (std::uint32_t x = 0; x < w; ++x) {
                    const std::uint32_t x0 = std::min(2 * x, pw - 1), x1 = std::min(2 * x + 1, pw - 1);
                    for (int c = 0; c < 4; ++c) {
                        const unsigned sum = current[(std::size_t(y0) * pw + x0) * 4 + c] +
                                             current[(std::size_t(y0) * pw + x1) * 4 + c] +
                                             current[(std::size_t(y1) * pw + x0) * 4 + c] +
                                             current[(std::size_t(y1) * pw + x1) * 4 + c];
                        next[(std::size_t(y) * w + x) * 4 + c] = static_cast<std::uint8_t>((sum + 2) / 4);
                    }
                }
            }
            writeRegionArgb(texture, l, Rect{0, 0, int(w), int(h)}, next.data());
            texture.noteChanged(l, Rect{0, 0, int(w), int(h)});
            current = std::move(next);
        }
    } catch (const std::bad_alloc&) {
        return kDeviceOutOfMemory;
    }
    return kDeviceOk;
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
