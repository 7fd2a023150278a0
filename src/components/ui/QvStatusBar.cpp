#include "components/ui/QvStatusBar.h"

#include <QLabel>

namespace quillpad {

TQvStatusBar::TQvStatusBar(QWidget *parent) : QStatusBar(parent), m_picture(new QLabel(this)), m_text(new QLabel(this))
{
    setSizeGripEnabled(false);
    m_picture->setObjectName(QStringLiteral("StatusImage"));
    m_picture->setFixedSize(21, 16);
    m_picture->setAlignment(Qt::AlignCenter);
    m_text->setObjectName(QStringLiteral("StatusText"));
    m_text->setTextFormat(Qt::PlainText);
    addWidget(m_picture);
    addWidget(m_text, 1);
}

void TQvStatusBar::setPanelText(const QString &text)
{
    m_text->setText(text);
}

QString TQvStatusBar::panelText() const
{
    return m_text->text();
}

}  // namespace quillpad
