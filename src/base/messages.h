// The one way the core talks to the user: an error box, a question and a plain box.
//
// The editors implement it with message boxes, lndtool with standard error (the tests with a
// recorder of their own). Texts are passed through untouched; an empty caption
// means "the program's title".
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace lnd {

enum class QuestionButtons { YesNo, OkCancel };

class UserMessages {
public:
    virtual ~UserMessages() = default;

    // An error box (stop icon, one OK button).
    virtual void error(const std::string& text, const std::string& caption = {}) = 0;
    // A question box (question icon). Returns true for Yes or OK.
    virtual bool question(const std::string& text, const std::string& caption = {},
                          QuestionButtons buttons = QuestionButtons::YesNo) = 0;
    // A plain box (no icon, one OK button).
    virtual void plain(const std::string& text, const std::string& caption = {}) = 0;
};

// Writes every message as one line "<prefix>: <text>" to a stream (standard error by
// default). Nobody can answer a question there, so every question gets `answer`.
class StreamMessages final : public UserMessages {
public:
    explicit StreamMessages(std::string prefix, std::FILE* stream = stderr, bool answer = false);

    void error(const std::string& text, const std::string& caption = {}) override;
    bool question(const std::string& text, const std::string& caption = {},
                  QuestionButtons buttons = QuestionButtons::YesNo) override;
    void plain(const std::string& text, const std::string& caption = {}) override;

private:
    void write(const char* kind, const std::string& text);

    std::string m_prefix;
    std::FILE* m_stream;
    bool m_answer;
};

}  // namespace lnd
