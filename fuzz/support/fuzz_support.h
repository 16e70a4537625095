// Helpers shared by the harnesses: a scratch file per process for entry points that take a path.
#pragma once

#include "base/messages.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace lndfuzz {

// A path under the temporary directory unique to this process and `tag`, removed at exit.
const std::string& scratchPath(const char* tag);

// Writes the bytes to scratchPath(tag) and returns the path.
const std::string& writeScratch(const char* tag, const std::uint8_t* data, std::size_t size);

// Answers no to every question and shows nothing.
class SilentMessages final : public lnd::UserMessages {
public:
    void error(const std::string&, const std::string& = {}) override {}
    bool question(const std::string&, const std::string& = {}, lnd::QuestionButtons = lnd::QuestionButtons::YesNo) override {
        return false;
    }
    void plain(const std::string&, const std::string& = {}) override {}
};

}  // namespace lndfuzz
