// The reading side of Strakmill: the header, the skip over the low-resolution textures and the
// block records, one at a time, from a file or from memory. Messages go to standard output.
#pragma once

#include "format/lnd_format.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace strakmill {

class LandSource {
public:
    virtual ~LandSource() = default;
    // Reads up to n bytes; returns the number read (short at the end), -1 on error.
    virtual long readFully(void* buf, std::size_t n) = 0;
    virtual bool seek(off_t pos) = 0;
};

class FileSource final : public LandSource {
public:
    ~FileSource() override { close(); }
    bool open(const std::string& path);
    void close();
    long readFully(void* buf, std::size_t n) override;
    bool seek(off_t pos) override;

private:
    int m_fd = -1;
};

class MemorySource final : public LandSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    long readFully(void* buf, std::size_t n) override;
    bool seek(off_t pos) override;

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// Reads the header; false after saying why.
bool readHeader(LandSource& source, lnd::TLndHeader& header);
void printHeader(const lnd::TLndHeader& header);

// Skips the low-resolution textures. Records are always 65680 bytes apart, whatever a
// record's DdsSize says. `firstBlock` receives the offset of the first block record.
bool skipLoResTextures(LandSource& source, std::uint32_t count, off_t& firstBlock);

// Reads every block record into the big map; false (after saying why) when the file ends
// inside a block, and the caller then writes nothing.
bool dumpBlocks(LandSource& source, off_t firstBlock, std::int32_t numBlocks, lnd::DumpChoice choice,
                std::vector<std::uint8_t>& bigMap);

}  // namespace strakmill
