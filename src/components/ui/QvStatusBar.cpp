#include "components/ui/QvStatusBar.h"

#include <QLabel>

namespace quillpad {

TQvStatusBar::TQvStatusBar(QWidget *parent) : QStatusBar(parent), m_picture(new QLabel(this)), m_text(new QLabel(this)), m_note(new QLabel(this))
{
    setSizeGripEnabled(false);
    m_picture->setObjectName(QStringLiteral("StatusImage"));
    m_picture->setFixedSize(21, 16);
    m_picture->setAlignment(Qt::AlignCenter);
    m_text->setObjectName(QStringLiteral("StatusText"));
    m_text->setTextFormat(Qt::PlainText);
    addWidget(m_picture);
    addWidget(m_text, 1);
    m_note->setObjectName(QStringLiteral("StatusNote"));
    m_note->setTextFormat(Qt::PlainText);
    m_note->hide();
    addPermanentWidget(m_note);
}

void TQvStatusBar::setPanelText(const QString &text)
{
    m_text->setText(text);
}

QString TQvStatusBar::panelText() const
{
    return m_text->text();
}

void TQvStatusBar::setNoteText(const QString &text)
{
    m_noteText = text;
    m_note->setToolTip(text);
    m_note->setVisible(!text.isEmpty());
    elideNote();
}

QString TQvStatusBar::noteText() const
{
    return m_noteText;
}

void TQvStatusBar::resizeEvent(QResizeEvent *event)
{
    QStatusBar::resizeEvent(event);
    elideNote();
}

void TQvStatusBar::elideNote()
{
    // A long error must not widen the window: it is cut to fit, whole in the tooltip.
    m_note->setText(m_note->fontMetrics().elidedText(m_noteText, Qt::ElideRight, qMax(80, width() / 2)));
}

}  // namespace quillpad
