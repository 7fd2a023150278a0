#include "tasks/ui/BitmapToolBar.h"

#include "tasks/PaletteTint.h"

#include <QPainter>

namespace quillpad {

const QPixmap &BitmapToolBar::laidBackground()
{
    const QRgb base = palette().color(QPalette::Base).rgba();
    const QRgb text = palette().color(QPalette::Text).rgba();
    if (m_laid.isNull() || base != m_laidBase || text != m_laidText) {
        m_laid = m_background.isNull() ? QPixmap() : QPixmap::fromImage(TintOntoBase(m_background.toImage(), palette()));
        m_laidBase = base;
        m_laidText = text;
    }
    return m_laid;
}

void BitmapToolBar::paintEvent(QPaintEvent *event)
{
    if (!m_background.isNull()) {
        QPainter painter(this);
        painter.drawPixmap(rect(), laidBackground());
    }
    QToolBar::paintEvent(event);
}

void BitmapToolBar::resizeEvent(QResizeEvent *event)
{
    QToolBar::resizeEvent(event);
    emit resized();
}

}  // namespace quillpad
