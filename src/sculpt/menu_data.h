// Clayvane.dat: seven 128 x 128 RGBA menu pictures and the 256 x 256 swatch altitude map.
//
// The reader works on bytes in memory (no GL, no Qt). Pictures the file does not hold are
// drawn by the program itself, so a missing or short file still leaves a usable menu.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace clay {

inline constexpr int kMenuPictures = 7;        // main menu 0..3, tool menu 4..6
inline constexpr int kMenuPictureSide = 128;
inline constexpr std::size_t kMenuRecordSize = 65536;
inline constexpr std::size_t kMenuDataSize = kMenuRecordSize * 8;

struct SMenuData {
    std::array<std::vector<std::uint8_t>, kMenuPictures> pictures;   // 128 * 128 * 4 each
    std::vector<std::uint8_t> swatchAltitude;                         // 256 * 256
    int recordsFromFile = 0;                                          // 0..8
};

// Takes the records present in `bytes` in order; records the bytes do not cover are the
// built-in ones. Returns an empty string for a complete file, else what was missing.
std::string ParseMenuData(std::span<const std::uint8_t> bytes, SMenuData& out);

// Reads the file; a missing or short file gives a message naming it, and built-in records.
std::string ReadMenuData(const std::string& path, SMenuData& out);

// The program's own records (the shipped Clayvane.dat is made from these).
std::vector<std::uint8_t> BuiltInMenuPicture(int item);
std::vector<std::uint8_t> BuiltInSwatchAltitude();
std::vector<std::uint8_t> BuiltInMenuFile();

}  // namespace clay
