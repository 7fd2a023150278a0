#include "BitmapToolBar.h"

#include <QPainter>

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
