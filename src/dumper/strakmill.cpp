// Strakmill: dumps one kind of per-cell data of a landscape file (altitude, country or split
// flag) into a 512 x 512 raw byte image. Console only; it never writes the landscape file.
//
// Memory does not depend on the file: blocks are read one at a time into one buffer.

#include "base/file_io.h"
#include "dumper/dump_reading.h"
#include "format/lnd_format.h"

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
using namespace strakmill;

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

// Writes the image as one save: the previous file of that name stays whole should it fail.
void writeBigMap(const std::string& path, const std::vector<std::uint8_t>& bigMap) {
    const lnd::Result r = lnd::writeFileAtomic(path, bigMap);
    if (!r) std::printf("Error %d %s %s!\n", r.systemError(), r.status() != lnd::Status::CannotCreate ? "writing" : "creating", path.c_str());
}

}  // namespace

int main() {
    std::printf("Strakmill v1.00\n\n");
    prompt("Open LND file: ");
    std::string path;
    if (!readLine(path) || path.empty()) return 0;

    std::printf("Loading %s...\n", path.c_str());
    std::fflush(stdout);
    FileSource file;
    if (!file.open(path)) {
        std::printf("Error %d opening %s!\n", errno, path.c_str());
        return 0;
    }
    TLndHeader header;
    if (!readHeader(file, header)) return 0;
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
