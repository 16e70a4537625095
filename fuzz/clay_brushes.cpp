// Clayvane's Brushes.txt on any text: the parse, and the brush list built from it.
#include "sculpt/brush_file.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const clay::SBrushParse parse = clay::ParseBrushes(text);
    if (parse.accepted && parse.profiles.size() != std::size_t(parse.count) * clay::kRings) std::abort();
    clay::CBrushList list;
    list.ReadBrushText(text, "Brushes.txt");
    float sum = 0;
    for (int b = 0; b < list.m_count; ++b) sum += list.Profile(b)[clay::kRings - 1];
    (void)sum;
    return 0;
}
