#include "support/recording_messages.h"

namespace lnd {

void RecordingMessages::error(const std::string& text, const std::string& caption) {
    m_entries.push_back({Kind::Error, text, caption});
}

bool RecordingMessages::question(const std::string& text, const std::string& caption,
                                 QuestionButtons buttons) {
    m_entries.push_back({Kind::Question, text, caption, buttons});
    if (m_answers.empty()) return fallbackAnswer;
    const bool answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

void RecordingMessages::plain(const std::string& text, const std::string& caption) {
    m_entries.push_back({Kind::Plain, text, caption});
}

void RecordingMessages::scriptAnswers(std::initializer_list<bool> answers) {
    m_answers.insert(m_answers.end(), answers.begin(), answers.end());
}

std::size_t RecordingMessages::count(Kind kind) const {
    std::size_t n = 0;
    for (const Entry& e : m_entries)
        if (e.kind == kind) ++n;
    return n;
}

std::vector<std::string> RecordingMessages::texts() const {
    std::vector<std::string> out;
    out.reserve(m_entries.size());
    for (const Entry& e : m_entries) out.push_back(e.text);
    return out;
}

}  // namespace lnd
