// A 256 x 256 picture of a material, a blend of two materials or a country's altitude
// gradient, as the country dialogs show them. Until its first fill it shows a background of
// its own.
#pragma once

#include "countries/country_table.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <vector>

namespace lnd {

// A picture of colour values (red in the lowest byte) as an image the screen can show.
QImage pictureImage(const std::vector<std::uint32_t>& picture, int side);

class CCountryView : public QWidget {
    Q_OBJECT
public:
    explicit CCountryView(const QString& name, QWidget* parent = nullptr);

    void fillMaterial(const TLndMaterial& material);
    void fillBlend(const TLndMaterial& first, const TLndMaterial& second, int weight);
    void fillCountry(const TLndCountry& country, std::span<const TLndMaterial> materials);
    // Back to the background (a material index the land does not hold).
    void clear();

    bool filled() const { return m_filled; }
    const QImage& image() const { return m_image; }

    QSize sizeHint() const override { return {kCountryPictureSide, kCountryPictureSide}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void show(const CountryPicture& picture);

    QImage m_image;
    bool m_filled = false;
};

}  // namespace lnd
