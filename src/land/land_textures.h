// The device textures made from a land: one low-resolution texture per low-resolution
// record, one synthesised texture per block (made on demand) and the scratch image every
// synthesis and export writes through.
//
// Block textures are dropped only when the cells or materials they were made from change (a
// load, a map initialisation, the noise import, an edit); remaking the low-resolution
// textures after a device reset keeps them.
#pragma once

#include "d3dframework/texture.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace lnd {

// A 128-byte DDS header followed by 256 x 256 texels of 4 bytes.
inline constexpr std::size_t kScratchImageSize = 128 + 256 * 256 * 4;

// A table of device resources indexed by record or block number. The table itself may be
// missing (never made, or dropped) and any entry may be empty; `Handle` owns its resource,
// so emptying an entry releases it.
template <typename Handle>
class ResourceTable {
public:
    bool exists() const { return m_exists; }
    std::size_t size() const { return m_entries.size(); }

    // Makes the table with `n` empty entries, releasing whatever it held.
    void make(std::size_t n) {
        drop();
        m_entries.resize(n);
        m_exists = true;
    }
    // Releases every entry and removes the table.
    void drop() {
        releaseAll();
        m_entries.clear();
        m_exists = false;
    }
    // Releases every entry; the table stays.
    void releaseAll() {
        for (Handle& h : m_entries) h = Handle{};
    }
    // Releases one entry; out of range does nothing.
    void release(std::size_t i) {
        if (i < m_entries.size()) m_entries[i] = Handle{};
    }
    // Stores a resource, releasing the previous one. False (and `h` released) when the table
    // is missing or `i` is out of range.
    bool set(std::size_t i, Handle h) {
        if (i >= m_entries.size()) return false;
        m_entries[i] = std::move(h);
        return true;
    }
    bool has(std::size_t i) const { return i < m_entries.size() && static_cast<bool>(m_entries[i]); }
    // The entry, or an empty handle when missing or out of range.
    const Handle& at(std::size_t i) const {
        static const Handle kNone{};
        return i < m_entries.size() ? m_entries[i] : kNone;
    }

private:
    std::vector<Handle> m_entries;
    bool m_exists = false;
};

// Each texture has exactly one owner: its table entry.
using TextureHandle = std::unique_ptr<DeviceTexture>;

class LandTextures {
public:
    LandTextures() : m_scratch(kScratchImageSize, 0) {}

    ResourceTable<TextureHandle>& loRes() { return m_loRes; }
    const ResourceTable<TextureHandle>& loRes() const { return m_loRes; }
    ResourceTable<TextureHandle>& blocks() { return m_blocks; }
    const ResourceTable<TextureHandle>& blocks() const { return m_blocks; }

    // The one scratch image (kScratchImageSize bytes unless a writer resized it).
    std::vector<std::uint8_t>& scratch() { return m_scratch; }
    const std::vector<std::uint8_t>& scratch() const { return m_scratch; }

    // Block b's texture no longer matches its cells.
    void dropBlock(std::size_t b) { m_blocks.release(b); }
    // No block texture matches the land any more (the table stays).
    void dropAllBlocks() { m_blocks.releaseAll(); }
    // Releases every texture and drops both tables.
    void releaseAll() {
        m_loRes.drop();
        m_blocks.drop();
    }

private:
    // The device layer makes textures without a device object, so none is held here.
    ResourceTable<TextureHandle> m_loRes;    // one per low-resolution record
    ResourceTable<TextureHandle> m_blocks;   // one per block, made on first synthesis
    std::vector<std::uint8_t> m_scratch;
};

}  // namespace lnd
