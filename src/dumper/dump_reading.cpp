#include "dumper/dump_reading.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace strakmill {

using namespace lnd;

bool FileSource::open(const std::string& path) {
    close();
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return m_fd >= 0;
}

void FileSource::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

long FileSource::readFully(void* buf, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = ::read(m_fd, static_cast<char*>(buf) + done, n - done);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) break;
        done += std::size_t(r);
    }
    return long(done);
}

bool FileSource::seek(off_t pos) { return ::lseek(m_fd, pos, SEEK_SET) == pos; }

long MemorySource::readFully(void* buf, std::size_t n) {
    const std::size_t take = m_pos >= m_size ? 0 : std::min(n, m_size - m_pos);
    if (take > 0) std::memcpy(buf, m_data + m_pos, take);
    m_pos += take;
    return long(take);
}

bool MemorySource::seek(off_t pos) {
    if (pos < 0) return false;
    m_pos = std::size_t(pos);   // past the end is allowed, as for a file; reads then return 0
    return true;
}

bool readHeader(LandSource& source, TLndHeader& header) {
    const long got = source.readFully(&header, sizeof header);
    if (got < 0) {
        std::printf("Error %d reading LND header!\n", errno);
        return false;
    }
    if (got != long(sizeof header)) {
        std::printf("Error reading LND header: the file holds only %ld bytes!\n", got);
        return false;
    }
    return true;
}

void printHeader(const TLndHeader& h) {
    std::printf("Header info:\n");
    std::printf("%-18s%d\n", " NumBlocks", std::int32_t(h.NumBlocks));
    std::printf("%-18s%d\n", " NumMaterials", std::int32_t(h.NumMaterials));
    std::printf("%-18s%d\n", " NumCountries", std::int32_t(h.NumCountries));
    std::printf("%-18s%d\n", " BlockSize", std::int32_t(h.BlockSize));
    std::printf("%-18s%d\n", " MaterialSize", std::int32_t(h.MaterialSize));
    std::printf("%-18s%d\n", " CountrySize", std::int32_t(h.CountrySize));
    std::printf("%-18s%u\n", " NumLoResTextures", std::uint32_t(h.NumLoResTextures));
    std::printf("\n");
    std::fflush(stdout);
}

// Skips the low-resolution textures. Records are always 65680 bytes apart, whatever a
// record's DdsSize says, so a bad DdsSize cannot make us read textures as blocks.
bool skipLoResTextures(LandSource& file, std::uint32_t count, off_t& firstBlock) {
    for (std::uint32_t k = 0; k < count; ++k) {
        const off_t start = off_t(kHeaderSize) + off_t(k) * off_t(kLoResTexSize);
        std::uint8_t head[20];
        if (!file.seek(start) || file.readFully(head, sizeof head) != long(sizeof head)) {
            std::printf("Error reading low-resolution texture %u: the file ends early!\n", k);
            return false;
        }
    }
    firstBlock = off_t(kHeaderSize) + off_t(count) * off_t(kLoResTexSize);
    return file.seek(firstBlock);
}

// Reads every block record into the big map. Returns false (after saying why) when the file
// ends inside a block; the caller then writes nothing.
bool dumpBlocks(LandSource& file, off_t firstBlock, std::int32_t numBlocks, DumpChoice choice,
                std::vector<std::uint8_t>& bigMap) {
    std::fill(bigMap.begin(), bigMap.end(), std::uint8_t(0));
    if (!file.seek(firstBlock)) {
        std::printf("Error %d seeking to the first block!\n", errno);
        return false;
    }
    TLndBlock block;
    for (std::int64_t n = 2; n <= numBlocks; ++n) {
        const long got = file.readFully(&block, sizeof block);
        if (got != long(sizeof block)) {
            if (got < 0)
                std::printf("Error %d reading block record %lld!\n", errno, (long long)(n - 1));
            else
                std::printf("Error reading block record %lld: the file ends early!\n", (long long)(n - 1));
            return false;
        }
        std::printf("Dumping block #%d\n", std::int32_t(block.BlockNumber));
        dumpBlockIntoBigMap(block, choice, bigMap.data());
    }
    std::fflush(stdout);
    return true;
}


}  // namespace strakmill
