#include "tasks/StoredColor.h"

namespace quillpad {

QColor StoredColorToQColor(qint32 value, const QPalette &palette)
{
    const auto bits = static_cast<quint32>(value);
    if (IsSystemColor(value)) {
        // The classic system colour numbers mapped onto the desktop's palette.
        switch (bits & 0xFFu) {
        case 0: return palette.color(QPalette::Base);              // scroll bar
        case 1: case 2: case 27: return palette.color(QPalette::Highlight);  // desktop, active caption
        case 3: case 28: return palette.color(QPalette::Inactive, QPalette::Highlight);
        case 4: case 15: case 22: case 30: return palette.color(QPalette::Button);  // menu, face, light, menu bar
        case 5: return palette.color(QPalette::Base);              // window
        case 6: return palette.color(QPalette::Shadow);            // frame
        case 7: return palette.color(QPalette::WindowText);        // menu text
        case 8: return palette.color(QPalette::Text);              // window text
        case 9: return palette.color(QPalette::HighlightedText);   // caption text
        case 10: case 11: return palette.color(QPalette::Mid);     // borders
        case 12: return palette.color(QPalette::Dark);             // app workspace
        case 13: case 29: return palette.color(QPalette::Highlight);  // highlight, menu highlight
        case 14: return palette.color(QPalette::HighlightedText);
        case 16: return palette.color(QPalette::Mid);              // button shadow
        case 17: return palette.color(QPalette::Disabled, QPalette::Text);  // grey text
        case 18: return palette.color(QPalette::ButtonText);
        case 19: return palette.color(QPalette::Inactive, QPalette::HighlightedText);
        case 20: return palette.color(QPalette::Light);            // 3D highlight
        case 21: return palette.color(QPalette::Shadow);           // 3D dark shadow
        case 23: return palette.color(QPalette::ToolTipText);
        case 24: return palette.color(QPalette::ToolTipBase);
        case 26: return palette.color(QPalette::Link);             // hot light
        default: return palette.color(QPalette::Window);
        }
    }
    return QColor(bits & 0xFF, (bits >> 8) & 0xFF, (bits >> 16) & 0xFF);
}

qint32 QColorToStored(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return StoredRgb(rgb.red(), rgb.green(), rgb.blue());
}

}  // namespace quillpad
