// Vostrel's main window: the land view in the middle and the status text at the bottom. The
// menus, panes and dialog bar of the full editor grow around this frame.
#pragma once

#include <QMainWindow>

#include <string>

namespace lnd {

class CLand;
class CRFrame;
class CSettings;
class UserMessages;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(CLand& land, CSettings& settings, UserMessages& messages);

    CRFrame* renderView() const { return m_view; }
    bool openLand(const std::string& path);

signals:
    void landOpened();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Asks for a file name and saves the land there.
    void saveAs();

    CLand& m_land;
    CRFrame* m_view = nullptr;
};

}  // namespace lnd
