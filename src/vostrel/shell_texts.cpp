#include "vostrel/shell_texts.h"

#include <cstdio>
#include <filesystem>
#include <vector>

namespace lnd {

namespace {

const char* launchCodeText(int code) {
    switch (code) {
    case 0: return "The operating system is out of memory or resources.";
    case 2: return "The specified file was not found";
    case 3: return "The specified path was not found.";
    case 5: return "The operating system denied access to the specified file.";
    case 8: return "There was not enough memory to complete the operation. ";
    case 11: return "The .exe file is invalid (non-Win32\u00AE .exe or error in .exe image).";
    case 26: return "A sharing violation occurred.";
    case 27: return "The file name association is incomplete or invalid.";
    case 28: return "The DDE transaction could not be completed because the request timed out.";
    case 29: return "The DDE transaction failed. ";
    case 30: return "The DDE transaction could not be completed because other DDE transactions were being processed.";
    case 31:
        return "There is no application associated with the given file name extension. This error will also be "
               "returned if you attempt to print a file that is not printable.";
    default: return nullptr;
    }
}

}  // namespace

std::string helpFailureText(const std::string& currentDir, int code, const std::string& file) {
    std::string text = "Command\t= open\n\r";
    text += "File\t= " + file + "\n\r";
    text += "CurrDir\t=";
    text += currentDir.substr(0, 255);
    text += "\n\r\n\r";
    if (const char* known = launchCodeText(code)) return text + known;
    std::vector<char> out(text.size() + 32);
    std::snprintf(out.data(), out.size(), "%sError code = %d", text.c_str(), code);
    return out.data();
}

int helpFileState(const std::string& currentDir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path file = fs::path(currentDir) / kHelpFile;
    if (!fs::is_directory(file.parent_path(), ec)) return kLaunchPathNotFound;
    if (!fs::is_regular_file(file, ec)) return kLaunchFileNotFound;
    return 0;
}

std::string coordsText(float x, float z) {
    char text[64];
    std::snprintf(text, sizeof text, "%4.2f,%4.2f", double(x), double(z));
    return text;
}

}  // namespace lnd
