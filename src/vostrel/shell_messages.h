// Message boxes of the editor window. A box raised while the view is inside a GL callback
// (painting, context set-up, resizing) is posted to the event loop instead of run there, so
// no nested event loop ever runs inside a frame.
#pragma once

#include "base/messages.h"

#include <QPointer>
#include <QWidget>

namespace lnd {

class ShellMessages final : public UserMessages {
public:
    // Boxes are owned by `owner` once it is set (centred on it, modal to it).
    void setOwner(QWidget* owner) { m_owner = owner; }

    void error(const std::string& text, const std::string& caption = {}) override;
    bool question(const std::string& text, const std::string& caption = {},
                  QuestionButtons buttons = QuestionButtons::YesNo) override;
    void plain(const std::string& text, const std::string& caption = {}) override;

    // While one of these lives, error and plain boxes are posted instead of shown.
    class GlCallbackScope {
    public:
        GlCallbackScope() { ++s_depth; }
        ~GlCallbackScope() { --s_depth; }
        GlCallbackScope(const GlCallbackScope&) = delete;
        GlCallbackScope& operator=(const GlCallbackScope&) = delete;
    };
    static bool insideGlCallback() { return s_depth > 0; }

private:
    void show(int icon, const QString& text, const QString& caption);

    static inline int s_depth = 0;
    QPointer<QWidget> m_owner;
};

// The title of a box: the caption, or the program's title when it is empty.
QString boxTitle(const std::string& caption);
// A message text as a box shows it: one line feed for each line break; the design's texts,
// which break lines as "\n\r", also lose their empty lines.
QString boxText(const std::string& text);

}  // namespace lnd
