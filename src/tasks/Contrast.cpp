#include "tasks/Contrast.h"

#include <algorithm>
#include <cmath>

namespace quillpad {

namespace {

double Linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double Ratio(double first, double second)
{
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

// The worst contrast against backgrounds whose luminances span [darkest, lightest].
double WorstRatio(double luminance, double darkest, double lightest)
{
    return std::min(Ratio(luminance, darkest), Ratio(luminance, lightest));
}

QColor Mix(const QColor &from, const QColor &to, double share)
{
    const auto channel = [share](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * share)); };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()), channel(from.blue(), to.blue()),
                  from.alpha());
}

}  // namespace

double RelativeLuminance(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) + 0.0722 * Linear(rgb.blueF());
}

double ContrastRatio(const QColor &first, const QColor &second)
{
    return Ratio(RelativeLuminance(first), RelativeLuminance(second));
}

QColor ReadableOn(const QColor &preferred, const QList<QColor> &backgrounds, PenShift shift)
{
    if (backgrounds.isEmpty())
        return preferred;
    double darkest = 1, lightest = 0;
    for (const QColor &background : backgrounds) {
        const double luminance = RelativeLuminance(background);
        darkest = std::min(darkest, luminance);
        lightest = std::max(lightest, luminance);
    }
    if (WorstRatio(RelativeLuminance(preferred), darkest, lightest) >= ReadableContrast)
        return preferred;

    if (shift == PenShift::Whole) {
        const double onBlack = WorstRatio(0, darkest, lightest), onWhite = WorstRatio(1, darkest, lightest);
        return onBlack >= onWhite ? QColor(Qt::black) : QColor(Qt::white);
    }
    // The smallest step towards black or towards white that reads; the rounding of a
    // channel can cost a little, so each candidate is measured as it will be painted.
    constexpr int Steps = 128;
    QColor best = preferred;
    double bestRatio = 0;
    for (int step = 1; step <= Steps; ++step) {
        for (const QColor &end : {QColor(Qt::black), QColor(Qt::white)}) {
            const QColor candidate = Mix(preferred.toRgb(), end, double(step) / Steps);
            const double ratio = WorstRatio(RelativeLuminance(candidate), darkest, lightest);
            if (ratio >= ReadableContrast)
                return candidate;
            if (ratio > bestRatio) {
                bestRatio = ratio;
                best = candidate;
            }
        }
    }
    // Backgrounds from black to white leave no pen readable on all: the best there is.
    return best;
}

}  // namespace quillpad
