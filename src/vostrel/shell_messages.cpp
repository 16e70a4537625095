#include "vostrel/shell_messages.h"

#include <QMessageBox>
#include <QTimer>

namespace lnd {

QString boxText(const std::string& text) {
    QString out = QString::fromStdString(text);
    if (out.contains(QStringLiteral("\n\r"))) {
        // The texts of the design break lines the Windows way round ("\n\r"), which a box
        // shows as two breaks: each becomes one, and they leave no empty lines.
        out.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
        while (out.contains(QStringLiteral("\n\n"))) out.replace(QStringLiteral("\n\n"), QStringLiteral("\n"));
        return out;
    }
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

QString boxTitle(const std::string& caption) {
    return caption.empty() ? QStringLiteral("Vostrel") : QString::fromStdString(caption);
}

void ShellMessages::show(int icon, const QString& text, const QString& caption) {
    auto run = [owner = m_owner, icon, text, caption] {
        QMessageBox box(static_cast<QMessageBox::Icon>(icon), caption, text, QMessageBox::Ok, owner.data());
        box.setAccessibleName(caption);
        box.exec();
    };
    if (insideGlCallback()) {
        QTimer::singleShot(0, run);
    } else {
        run();
    }
}

void ShellMessages::error(const std::string& text, const std::string& caption) {
    show(QMessageBox::Critical, boxText(text), boxTitle(caption));
}

void ShellMessages::plain(const std::string& text, const std::string& caption) {
    show(QMessageBox::NoIcon, boxText(text), boxTitle(caption));
}

bool ShellMessages::question(const std::string& text, const std::string& caption, QuestionButtons buttons) {
    // A question needs its answer now; none is asked from inside a frame.
    const bool yesNo = buttons == QuestionButtons::YesNo;
    const auto yes = yesNo ? QMessageBox::Yes : QMessageBox::Ok;
    const auto no = yesNo ? QMessageBox::No : QMessageBox::Cancel;
    QMessageBox box(QMessageBox::Question, boxTitle(caption), boxText(text), yes | no, m_owner.data());
    box.setAccessibleName(boxTitle(caption));
    return box.exec() == yes;
}

}  // namespace lnd
