#pragma once
// How well text reads on a background, by the relative luminance and contrast ratio of
// WCAG 2, and a pen that reads on every colour a row's background paints.

#include <QColor>
#include <QList>

namespace quillpad {

// Body text needs this much contrast against its background to read for most people.
constexpr double ReadableContrast = 4.5;

double RelativeLuminance(const QColor &color);
// 1 (the same light) to 21 (black on white), whichever of the two is lighter.
double ContrastRatio(const QColor &first, const QColor &second);

enum class PenShift {
    Least,  // as little as it must, so a grey stays a grey
    Whole,  // all the way to black or white: plain text stays plain
};

// The preferred pen when it reads on every background; otherwise the pen moved towards
// black or white until it does.
QColor ReadableOn(const QColor &preferred, const QList<QColor> &backgrounds, PenShift shift = PenShift::Least);

}  // namespace quillpad
