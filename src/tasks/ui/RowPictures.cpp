#include "tasks/ui/RowPictures.h"

#include "tasks/PaletteTint.h"

namespace quillpad {

const RowPictures::Laid &RowPictures::forPalette(const QPalette &palette) const
{
    const QRgb base = palette.color(QPalette::Base).rgba();
    const QRgb text = palette.color(QPalette::Text).rgba();
    if (m_made && base == m_base && text == m_text)
        return m_laid;
    const auto lay = [&palette](const QPixmap &picture, QPixmap &laid, QList<QColor> &shade) {
        const QImage tinted = TintOntoBase(picture.toImage(), palette);
        laid = QPixmap::fromImage(tinted);
        shade = ColoursDown(tinted);
    };
    lay(m_images->group, m_laid.group, m_laid.shades.subTask);
    lay(m_images->item0, m_laid.item0, m_laid.shades.topLevelEven);
    lay(m_images->item1, m_laid.item1, m_laid.shades.topLevelOdd);
    m_base = base;
    m_text = text;
    m_made = true;
    return m_laid;
}

}  // namespace quillpad
