#include "tasks/ui/BitmapToolBar.h"

#include <QPainter>

namespace quillpad {

void BitmapToolBar::paintEvent(QPaintEvent *event)
{
    if (!m_background.isNull()) {
        QPainter painter(this);
        painter.drawPixmap(rect(), m_background);
    }
    QToolBar::paintEvent(event);
}

void BitmapToolBar::resizeEvent(QResizeEvent *event)
{
    QToolBar::resizeEvent(event);
    emit resized();
}

}  // namespace quillpad
