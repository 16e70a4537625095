#include "vostrel/shell_dialogs.h"

#include "land/land.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadialGradient>
#include <QUrl>
#include <QVBoxLayout>

#include <cmath>

namespace lnd {

CSta::CSta(const CLand& land, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Land statistics"));
    setAccessibleName(windowTitle());
    auto* form = new QFormLayout(this);
    auto field = [&](const QString& name, const QString& value) {
        auto* edit = new QLineEdit(value, this);
        edit->setReadOnly(true);
        edit->setAccessibleName(name);
        edit->setMinimumWidth(name == QStringLiteral("Land file name") ? 320 : 80);
        form->addRow(name, edit);
    };
    field(QStringLiteral("Land file name"), QString::fromStdString(land.path()));
    field(QStringLiteral("Number of blocks"), QString::number(land.numBlocks()));
    field(QStringLiteral("Number of countries"), QString::number(land.numCountries()));
    field(QStringLiteral("Number of materials"), QString::number(land.numMaterials()));
    field(QStringLiteral("Number of low resolution textures"), QString::number(land.numLoResTextures()));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    form->addRow(buttons);
}

QImage aboutPicture() {
    QImage image(200, 140, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sea(0, 0, 0, image.height());
    sea.setColorAt(0, QColor(0, 128, 248));
    sea.setColorAt(1, QColor(0, 60, 140));
    p.fillRect(image.rect(), sea);
    // Contour bands of an island, lowest first: beach, grass, forest, rock, snow.
    const QColor bands[] = {QColor(222, 204, 150), QColor(110, 170, 70), QColor(60, 120, 50), QColor(130, 120, 110),
                            QColor(245, 245, 250)};
    const QPointF centre(100, 76);
    for (int i = 0; i < 5; ++i) {
        const double rx = 86 - i * 16, ry = 54 - i * 10;
        QPainterPath band;
        for (int k = 0; k <= 48; ++k) {
            const double a = k * 6.283185307 / 48;
            const double wobble = 1.0 + 0.08 * std::sin(3 * a + i) + 0.05 * std::cos(5 * a - i);
            const QPointF pt(centre.x() + rx * wobble * std::cos(a), centre.y() - i * 4 + ry * wobble * std::sin(a));
            if (k == 0) band.moveTo(pt);
            else band.lineTo(pt);
        }
        p.fillPath(band, bands[i]);
        p.setPen(QPen(bands[i].darker(130), 1));
        p.drawPath(band);
    }
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setBold(true);
    f.setPointSize(14);
    p.setFont(f);
    p.drawText(QRect(0, 4, image.width(), 24), Qt::AlignCenter, QStringLiteral("Vostrel"));
    return image;
}

QString projectPagePath() {
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {dir + QStringLiteral("/README.md"), dir + QStringLiteral("/../README.md"),
                                     dir + QStringLiteral("/../share/doc/vostrel/README.md"),
                                     dir + QStringLiteral("/../../README.md")}) {
        if (QFileInfo::exists(candidate)) return QFileInfo(candidate).canonicalFilePath();
    }
    return {};
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Vostrel"));
    setAccessibleName(windowTitle());
    auto* row = new QHBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setPixmap(QPixmap::fromImage(aboutPicture()));
    picture->setAccessibleName(QStringLiteral("Vostrel picture"));
    row->addWidget(picture);
    auto* column = new QVBoxLayout;
    auto* version = new QLabel(QStringLiteral("Version 1.0"), this);
    version->setAccessibleName(version->text());
    column->addWidget(version);
    column->addStretch(1);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setAccessibleName(QStringLiteral("OK"));
    ok->setDefault(true);
    auto* page = new QPushButton(QStringLiteral("&Web page"), this);
    page->setAccessibleName(QStringLiteral("Web page"));
    const QString path = projectPagePath();
    page->setEnabled(!path.isEmpty());
    page->setToolTip(path.isEmpty() ? QStringLiteral("The project's page is not installed") : path);
    column->addWidget(ok);
    column->addWidget(page);
    row->addLayout(column);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(page, &QPushButton::clicked, this, [path] { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); });
}

}  // namespace lnd
