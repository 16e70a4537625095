// The small dialogs of the editor window: land statistics and About.
#pragma once

#include <QDialog>
#include <QImage>

namespace lnd {

class CLand;

// Land statistics: five read-only fields filled when it opens.
class CSta : public QDialog {
    Q_OBJECT
public:
    CSta(const CLand& land, QWidget* parent = nullptr);
};

// The About picture: an island in a sea, drawn here so nothing is shipped for it.
QImage aboutPicture();

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

// The project's page: the README next to the installed program or above it; empty when
// none is found.
QString projectPagePath();

}  // namespace lnd
