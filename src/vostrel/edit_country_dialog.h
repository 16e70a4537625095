// "Country edit": the blend table of one country, altitude by altitude, on a working copy
// that reaches the land only on OK.
#pragma once

#include "format/lnd_format.h"

#include <QDialog>

class QLabel;
class QSlider;

namespace lnd {

class CCountryView;
class CLand;
class EditorSession;

class CEditCountry : public QDialog {
    Q_OBJECT
public:
    // Reads the land through `session` and stores the edit through it on OK.
    CEditCountry(EditorSession& session, int country, QWidget* parent = nullptr);

    int altitude() const { return m_h; }
    const TLndCountry& workingCopy() const { return m_work; }

    // OK: the working copy over the country's record, block textures released, land modified.
    void accept() override;

private:
    void altitudeMoved(int position);
    void weightMoved(int position);
    // "<" (-1) or ">" (+1) under Picture 1 (mat2) or Picture 2 (mat1).
    void stepMaterial(bool second, int step);
    void refreshPictures();
    void refreshResult();

    EditorSession& m_session;
    CLand& m_land;   // shown, never edited here
    int m_country;
    TLndCountry m_work{};
    int m_h = 0;
    CCountryView* m_picture1 = nullptr;
    CCountryView* m_picture2 = nullptr;
    CCountryView* m_result = nullptr;
    QSlider* m_altitude = nullptr;
    QSlider* m_weight = nullptr;
    QLabel* m_altitudeText = nullptr;
    QLabel* m_weightText = nullptr;
    QLabel* m_materialNumbers[2] = {};   // under Picture 1 (mat2) and Picture 2 (mat1)
};

}  // namespace lnd
