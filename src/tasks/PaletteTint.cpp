#include "tasks/PaletteTint.h"

#include "tasks/Contrast.h"

#include <algorithm>

namespace quillpad {

bool IsDarkScheme(const QPalette &palette)
{
    return RelativeLuminance(palette.color(QPalette::Base)) < RelativeLuminance(palette.color(QPalette::Text));
}

namespace {

QRgb Tint(QRgb pixel, const QColor &base, bool dark)
{
    // How far the picture departs from white, channel by channel (never above 0).
    const int shift[3] = {qRed(pixel) - 255, qGreen(pixel) - 255, qBlue(pixel) - 255};
    // A dark scheme turns the lightness of the tint round and keeps its hue: a row
    // that is a shade darker and bluer on white is a shade lighter and bluer on black.
    const int lightness = dark ? -2 * (shift[0] + shift[1] + shift[2]) / 3 : 0;
    const int channel[3] = {base.red(), base.green(), base.blue()};
    int out[3];
    for (int i = 0; i < 3; ++i)
        out[i] = std::clamp(channel[i] + shift[i] + lightness, 0, 255);
    return qRgba(out[0], out[1], out[2], qAlpha(pixel));
}

}  // namespace

QImage TintOntoBase(const QImage &picture, const QPalette &palette)
{
    QImage tinted = picture.convertToFormat(QImage::Format_ARGB32);
    const QColor base = palette.color(QPalette::Base).toRgb();
    const bool dark = IsDarkScheme(palette);
    for (int y = 0; y < tinted.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(tinted.scanLine(y));
        for (int x = 0; x < tinted.width(); ++x)
            line[x] = Tint(line[x], base, dark);
    }
    return tinted;
}

QList<QColor> ColoursDown(const QImage &picture)
{
    QList<QColor> colours;
    if (picture.width() == 0)
        return colours;
    for (int y = 0; y < picture.height(); ++y) {
        const QColor colour = picture.pixelColor(0, y);
        if (!colours.contains(colour))
            colours.append(colour);
    }
    return colours;
}

}  // namespace quillpad
