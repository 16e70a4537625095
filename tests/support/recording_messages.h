// A UserMessages that keeps every message and answers questions from a script.
#pragma once

#include "base/messages.h"

#include <cstddef>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

namespace lnd {

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

}  // namespace lnd
