// The one way the core talks to the user: an error box, a question and a plain box.
//
// The editors implement it with message boxes, the tests with a recorder that scripts the
// answers, lndtool with standard error. Texts are passed through untouched; an empty caption
// means "the program's title".
#pragma once

#include <cstdio>
#include <deque>
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

// Keeps every message for tests and answers questions from a script.
class RecordingMessages final : public UserMessages {
public:
    enum class Kind { Error, Question, Plain };
    struct Entry {
        Kind kind;
        std::string text;
        std::string caption;
        QuestionButtons buttons = QuestionButtons::YesNo;
    };

    void error(const std::string& text, const std::string& caption = {}) override;
    bool question(const std::string& text, const std::string& caption = {},
                  QuestionButtons buttons = QuestionButtons::YesNo) override;
    void plain(const std::string& text, const std::string& caption = {}) override;

    // Answers for the next questions, in order; once they run out `fallbackAnswer` is given.
    void scriptAnswers(std::initializer_list<bool> answers);
    bool fallbackAnswer = false;

    const std::vector<Entry>& entries() const { return m_entries; }
    std::size_t count() const { return m_entries.size(); }
    std::size_t count(Kind kind) const;
    // The texts only, in order.
    std::vector<std::string> texts() const;
    void clear() { m_entries.clear(); }

private:
    std::vector<Entry> m_entries;
    std::deque<bool> m_answers;
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
