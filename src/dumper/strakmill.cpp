// Strakmill: dumps one kind of per-cell data of a landscape file (altitude, country or split
// flag) into a 512 x 512 raw byte image. Console only; it never writes the landscape file.
//
// Memory does not depend on the file: blocks are read one at a time into one buffer.

#include "land/lnd_format.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace lnd;

constexpr int kInvalidNumericFormat = 106;

// Reads one line of the console. Returns false at the end of input.
bool readLine(std::string& line) {
    if (!std::getline(std::cin, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

void prompt(const char* text) {
    std::cout << text << std::flush;
}

class InputFile {
public:
    ~InputFile() { close(); }
    bool open(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        return m_fd >= 0;
    }
    void close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }
    // Reads exactly n bytes; returns the number read (short at the end of the file), -1 on error.
    long readFully(void* buf, std::size_t n) {
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
    bool seek(off_t pos) { return ::lseek(m_fd, pos, SEEK_SET) == pos; }
    off_t tell() const { return ::lseek(m_fd, 0, SEEK_CUR); }

private:
    int m_fd = -1;
};

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
bool skipLoResTextures(InputFile& file, std::uint32_t count, off_t& firstBlock) {
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

enum class MenuReply { Number, EndOfInput, NotANumber, Empty };

// An unsigned whole number, then anything after white space is discarded. Values too large
// for any choice come back as a large number, never wrapped into a valid one.
MenuReply readMenuReply(unsigned long& value) {
    std::string line;
    if (!readLine(line)) return MenuReply::EndOfInput;
    std::size_t p = 0;
    while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
    if (p == line.size()) return MenuReply::Empty;
    if (line[p] == '+') ++p;
    std::size_t digits = 0;
    value = 0;
    while (p < line.size() && line[p] >= '0' && line[p] <= '9') {
        if (value < 1000000) value = value * 10 + unsigned(line[p] - '0');
        ++p;
        ++digits;
    }
    if (digits == 0) return MenuReply::NotANumber;
    if (p < line.size() && line[p] != ' ' && line[p] != '\t') return MenuReply::NotANumber;
    return MenuReply::Number;
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The save dialog of a console: a proposed name, and a confirmation before replacing a file.
bool askSavePath(std::string& path) {
    prompt("Save raw image file [BigMap.raw]: ");
    std::string line;
    if (!readLine(line)) {
        std::printf("\n");
        return false;
    }
    path = line.empty() ? std::string("BigMap.raw") : line;
    if (fileExists(path)) {
        std::cout << path << " already exists. Replace it? (y/n) " << std::flush;
        std::string answer;
        if (!readLine(answer)) {
            std::printf("\n");
            return false;
        }
        if (answer != "y" && answer != "Y") return false;
    }
    return true;
}

bool askContinue() {
    std::printf("Continue working?\n");
    prompt("Do you wish to dump another type of LND data now? (y/n) ");
    std::string answer;
    if (!readLine(answer)) {
        std::printf("\n");
        return false;
    }
    return answer != "n" && answer != "N";
}

// Reads every block record into the big map. Returns false (after saying why) when the file
// ends inside a block; the caller then writes nothing.
bool dumpBlocks(InputFile& file, off_t firstBlock, std::int32_t numBlocks, DumpChoice choice,
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

// Writes the image in one write. A failed write removes the partial file.
void writeBigMap(const std::string& path, const std::vector<std::uint8_t>& bigMap) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        std::printf("Error %d creating %s!\n", errno, path.c_str());
        return;
    }
    std::size_t done = 0;
    int err = 0;
    while (done < bigMap.size()) {
        const ssize_t w = ::write(fd, bigMap.data() + done, bigMap.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            err = w < 0 ? errno : EIO;
            break;
        }
        done += std::size_t(w);
    }
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
        ::unlink(path.c_str());
        std::printf("Error %d writing %s!\n", err, path.c_str());
    }
}

}  // namespace

int main() {
    std::printf("Strakmill v1.00\n\n");
    prompt("Open LND file: ");
    std::string path;
    if (!readLine(path) || path.empty()) return 0;

    std::printf("Loading %s...\n", path.c_str());
    std::fflush(stdout);
    InputFile file;
    if (!file.open(path)) {
        std::printf("Error %d opening %s!\n", errno, path.c_str());
        return 0;
    }
    TLndHeader header;
    const long got = file.readFully(&header, sizeof header);
    if (got < 0) {
        std::printf("Error %d reading LND header!\n", errno);
        return 0;
    }
    if (got != long(sizeof header)) {
        std::printf("Error reading LND header: the file holds only %ld bytes!\n", got);
        return 0;
    }
    printHeader(header);

    off_t firstBlock = 0;
    if (!skipLoResTextures(file, header.NumLoResTextures, firstBlock)) return 0;

    std::vector<std::uint8_t> bigMap(kBigMapSize, 0);
    for (;;) {
        file.seek(firstBlock);
        std::printf("Select cell data to dump:\n\n 1. Altitude\n 2. Country\n 3. Split flag\n\n 0. Quit\n\n");
        unsigned long choice = 0;
        for (;;) {
            prompt("> ");
            const MenuReply reply = readMenuReply(choice);
            if (reply == MenuReply::EndOfInput) {
                std::printf("\n");
                return 0;
            }
            if (reply == MenuReply::NotANumber) {
                std::printf("Runtime error %d\n", kInvalidNumericFormat);
                return kInvalidNumericFormat;
            }
            std::printf("\n");
            if (reply == MenuReply::Number && choice < 4) break;
        }
        if (choice == 0) return 0;

        std::string outPath;
        if (askSavePath(outPath)) {
            if (dumpBlocks(file, firstBlock, header.NumBlocks, DumpChoice(int(choice)), bigMap))
                writeBigMap(outPath, bigMap);
        }
        if (!askContinue()) return 0;
    }
}
