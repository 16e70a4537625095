#include "vostrel/country_view.h"

#include <QPainter>

namespace lnd {

namespace {

// A quiet grey check, so an empty picture reads as "nothing yet" and not as a black material.
QImage background() {
    QImage image(kCountryPictureSide, kCountryPictureSide, QImage::Format_RGB32);
    for (int y = 0; y < kCountryPictureSide; ++y)
        for (int x = 0; x < kCountryPictureSide; ++x)
            image.setPixel(x, y, ((x / 32 + y / 32) % 2) ? qRgb(150, 150, 156) : qRgb(182, 182, 188));
    return image;
}

}  // namespace

QImage pictureImage(const std::vector<std::uint32_t>& picture, int side) {
    QImage image(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < side; ++x) {
            const std::uint32_t c = picture[std::size_t(y) * std::size_t(side) + std::size_t(x)];
            line[x] = qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
        }
    }
    return image;
}

CCountryView::CCountryView(const QString& name, QWidget* parent) : QWidget(parent), m_image(background()) {
    setObjectName(name);
    setAccessibleName(name);
    setFixedSize(kCountryPictureSide, kCountryPictureSide);
}

void CCountryView::fillMaterial(const TLndMaterial& material) { show(materialPicture(material)); }

void CCountryView::fillBlend(const TLndMaterial& first, const TLndMaterial& second, int weight) {
    show(blendPicture(first, second, weight));
}

void CCountryView::fillCountry(const TLndCountry& country, std::span<const TLndMaterial> materials) {
    show(countryPicture(country, materials));
}

void CCountryView::clear() {
    m_image = background();
    m_filled = false;
    update();
}

void CCountryView::show(const CountryPicture& picture) {
    m_image = pictureImage(picture, kCountryPictureSide);
    m_filled = true;
    update();
}

void CCountryView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

}  // namespace lnd
