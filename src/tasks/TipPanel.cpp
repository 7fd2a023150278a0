#include "TipPanel.h"

#include <QIcon>
#include <QLabel>
#include <QMouseEvent>

namespace {
constexpr int TextLeft = 24;
constexpr int Top = 4;
}

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
    m_image->setGeometry(4, Top, 16, 16);
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
    hide();
}

void TipPanel::showTip(const QString &text, const QIcon &icon)
{
    m_text->setText(text);
    m_image->setPixmap(icon.pixmap(16, 16));
    fitHeight();
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

void TipPanel::fitHeight()
{
    const int textWidth = std::max(width() - TextLeft - 4, 40);
    const int textHeight = m_text->heightForWidth(textWidth);
    m_text->setGeometry(TextLeft, Top, textWidth, textHeight);
    setFixedHeight(textHeight + 8 + Top);
}

void TipPanel::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    if (isVisible())
        fitHeight();
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
