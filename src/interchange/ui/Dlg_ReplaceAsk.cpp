#include "interchange/ui/Dlg_ReplaceAsk.h"

#include "store/GuardedConnect.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace quillpad {

namespace {

QLabel *MakeLabel(QWidget *parent, const char *name, int indent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setContentsMargins(indent, 0, 0, 0);
    return label;
}

// The texts of the two records: one line, blue, cut at a fixed width.
QLabel *MakeTitle(QWidget *parent, const char *name)
{
    QLabel *label = MakeLabel(parent, name, 24);
    label->setFixedWidth(24 + 360);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(palette);
    return label;
}

}  // namespace

TReplaceAskDlg::TReplaceAskDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ReplaceAskDlg"));
    setWindowTitle(QStringLiteral("Confirm Replace"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Label_Caption = MakeLabel(this, "Label_Caption", 0);
    Label_oldTitle = MakeTitle(this, "Label_oldTitle");
    Label_oldTime = MakeLabel(this, "Label_oldTime", 24);
    Label2 = MakeLabel(this, "Label2", 0);
    Label2->setText(QStringLiteral("with this one?"));
    Label_newTitle = MakeTitle(this, "Label_newTitle");
    Label_newTime = MakeLabel(this, "Label_newTime", 24);

    Button1 = AddButton(QStringLiteral("&Yes"), PromptButton::Yes);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button4 = AddButton(QStringLiteral("&All"), PromptButton::All);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button2 = AddButton(QStringLiteral("&No"), PromptButton::No);
    Button2->setObjectName(QStringLiteral("Button2"));
    noToAllButton = AddButton(QStringLiteral("N&o to All"), PromptButton::NoToAll);
    noToAllButton->setObjectName(QStringLiteral("noToAllButton"));
    Button3 = AddButton(QStringLiteral("A&bort"), PromptButton::Abort);
    Button3->setObjectName(QStringLiteral("Button3"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(56, 24, 24, 20);
    layout->setSpacing(8);
    layout->addWidget(Label_Caption);
    layout->addSpacing(8);
    layout->addWidget(Label_oldTitle);
    layout->addWidget(Label_oldTime);
    layout->addWidget(Label2);
    layout->addSpacing(16);
    layout->addWidget(Label_newTitle);
    layout->addWidget(Label_newTime);
    layout->addSpacing(8);
    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(32, 0, 0, 0);
    buttons->setSpacing(13);
    for (QPushButton *button : {Button1, Button4, Button2, noToAllButton, Button3})
        buttons->addWidget(button);
    buttons->addStretch();
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed border

    setTabOrder(Button1, Button2);
    setTabOrder(Button2, noToAllButton);
    setTabOrder(noToAllButton, Button3);
    setTabOrder(Button3, Button4);
    Button1->setFocus();
}

QPushButton *TReplaceAskDlg::AddButton(const QString &text, PromptButton result)
{
    auto *button = new QPushButton(text, this);
    button->setMinimumSize(75, 25);
    button->setAutoDefault(true);  // Enter presses the button that has the focus
    button->setDefault(false);
    ConnectGuarded(button, &QPushButton::clicked, this, [this, result] {
        m_answer = result;
        done(static_cast<int>(result));
    });
    return button;
}

void TReplaceAskDlg::Fill(const QStringList &labels)
{
    QLabel *const targets[] = {Label_Caption, Label_oldTitle, Label_oldTime, Label2, Label_newTitle, Label_newTime};
    for (int i = 0; i < 6 && i < labels.size(); ++i)
        targets[i]->setText(labels.at(i));
    m_answer = PromptButton::Cancel;
}

void TReplaceAskDlg::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();  // no cancel button
        return;
    }
    QDialog::keyPressEvent(event);
}

void TReplaceAskDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

PromptButton TReplaceAskDlg::Ask(const PromptMessage &box, QWidget *parent)
{
    TReplaceAskDlg dialog(parent);
    if (!box.caption.isEmpty())
        dialog.setWindowTitle(box.caption);
    dialog.Fill(box.labels);
    dialog.exec();
    return dialog.answer();
}

}  // namespace quillpad
