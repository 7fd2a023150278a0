#include "tasks/ui/TipPanel.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>

namespace quillpad {

TipPanel::TipPanel(QWidget *parent) : QFrame(parent), m_image(new QLabel(this)), m_text(new QLabel(this))
{
    setObjectName(QStringLiteral("Panel_tip"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(255, 255, 225));
    setPalette(colours);
    m_image->setObjectName(QStringLiteral("Image_Tip"));
    m_image->setFixedSize(16, 16);
    m_text->setObjectName(QStringLiteral("label_tip"));
    m_text->setWordWrap(true);
    m_text->setCursor(Qt::PointingHandCursor);
    QPalette link = m_text->palette();
    link.setColor(QPalette::WindowText, Qt::blue);
    m_text->setPalette(link);
    QFont underlined = m_text->font();
    underlined.setUnderline(true);
    m_text->setFont(underlined);
    m_text->installEventFilter(this);
    // Icon at (4, 4), text from 24 on, the panel as high as the wrapped text needs.
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(m_image, 0, Qt::AlignTop);
    layout->addWidget(m_text, 1);
    hide();
}

void TipPanel::showTip(const QString &text, const QIcon &icon)
{
    m_text->setText(text);
    m_image->setPixmap(icon.pixmap(16, 16));
    show();
}

void TipPanel::hideTip()
{
    hide();
    m_text->clear();
}

QString TipPanel::text() const
{
    return m_text->text();
}

bool TipPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_text && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        emit clicked();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace quillpad
