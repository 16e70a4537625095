#include "base/messages.h"

namespace lnd {

StreamMessages::StreamMessages(std::string prefix, std::FILE* stream, bool answer)
    : m_prefix(std::move(prefix)), m_stream(stream), m_answer(answer) {}

void StreamMessages::error(const std::string& text, const std::string&) { write("error", text); }

bool StreamMessages::question(const std::string& text, const std::string&, QuestionButtons buttons) {
    const char* yes = buttons == QuestionButtons::OkCancel ? "OK" : "yes";
    const char* no = buttons == QuestionButtons::OkCancel ? "Cancel" : "no";
    write("question", text + " [answered " + (m_answer ? yes : no) + "]");
    return m_answer;
}

void StreamMessages::plain(const std::string& text, const std::string&) { write("note", text); }

void StreamMessages::write(const char* kind, const std::string& text) {
    if (!m_stream) return;
    std::fprintf(m_stream, "%s: %s: %s\n", m_prefix.c_str(), kind, text.c_str());
    std::fflush(m_stream);
}

}  // namespace lnd
