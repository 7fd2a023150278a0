#include "app/Dlg_Options.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillpad {

TOptionsDlg::TOptionsDlg(const OptionsChoice &start, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OptionsDlg"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // Autostart on Linux is an entry the desktop reads at login.
    cb_AutoStart = new QCheckBox(QStringLiteral("Start at login"), this);
    cb_AutoStart->setObjectName(QStringLiteral("cb_AutoStart"));
    cb_AutoStart->setChecked(start.autoStart);
    cb_AutoMinimized = new QCheckBox(QStringLiteral("Run program minimized"), this);
    cb_AutoMinimized->setObjectName(QStringLiteral("cb_AutoMinimized"));
    cb_AutoMinimized->setChecked(start.runMinimized);
    cb_AddOpen = new QCheckBox(QStringLiteral("Add new item while open"), this);
    cb_AddOpen->setObjectName(QStringLiteral("cb_AddOpen"));
    cb_AddOpen->setChecked(start.addOpen);

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    Btn_Ok = new QPushButton(QStringLiteral("OK"), this);
    Btn_Ok->setObjectName(QStringLiteral("Btn_Ok"));
    Btn_Ok->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    connect(Btn_Ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Btn_Ok);
    buttons->addWidget(Button2);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(cb_AutoStart);
    layout->addWidget(cb_AutoMinimized);
    layout->addWidget(cb_AddOpen);
    layout->addStretch();
    layout->addWidget(line);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed dialog, as large as its texts
}

OptionsChoice TOptionsDlg::answer() const
{
    return {cb_AutoStart->isChecked(), cb_AutoMinimized->isChecked(), cb_AddOpen->isChecked()};
}

}  // namespace quillpad
