#include "session/shell_words.h"

#include <cstdio>
#include <vector>

namespace lnd {

namespace {

constexpr const char* kInvalidLandText = "The land %s is invalid , unable to open it";
constexpr const char* kNoSurfaceText = "Fails to get surfaceLevel 0";
constexpr const char* kNoDescText = "Fails to get surfaceLevel description";
constexpr const char* kVideoText =
    "Please post this message in the forum :\n\rFormat = 0X%6x,resourceType =%d,usage=%d,pool=%d,size=%d,"
    "\r\nmultisample=%d,Width=%d,Height =%d";
constexpr const char* kLockFailedText = "LockRect in the lowres texture fails :-(";
constexpr const char* kPitchText = "Pitch is not 1024 as you think, in this case is %d";
constexpr const char* kUnsupportedText =
    "sorry your car does not support the saving of textures, you can do it in the computer of some friend";

}  // namespace

std::string openFailureText(const std::string& path, const Result& result) {
    if (!landRefusedAsInvalid(result)) return kReadErrorText + path;
    std::vector<char> text(std::char_traits<char>::length(kInvalidLandText) + path.size() + 1);
    std::snprintf(text.data(), text.size(), kInvalidLandText, path.c_str());
    return text.data();
}

std::string saveNoteText(const SaveNote& note) {
    switch (note.kind) {
    case SaveNote::Kind::NoSurface: return kNoSurfaceText;
    case SaveNote::Kind::NoDescription: return kNoDescText;
    case SaveNote::Kind::SurfaceDescription: {
        const SurfaceDesc& desc = note.desc;
        char text[320];
        std::snprintf(text, sizeof text, kVideoText, unsigned(desc.format), int(desc.type), int(desc.usage),
                      int(desc.pool), int(desc.size), int(desc.multiSample), int(desc.width), int(desc.height));
        return text;
    }
    case SaveNote::Kind::LockFailed: return kLockFailedText;
    case SaveNote::Kind::UnexpectedPitch: {
        char text[96];
        std::snprintf(text, sizeof text, kPitchText, note.pitch);
        return text;
    }
    case SaveNote::Kind::Unsupported: return kUnsupportedText;
    }
    return kUnsupportedText;
}

}  // namespace lnd
