#include "app/Dlg_Update.h"

#include "app/WebLinks.h"
#include "app/settings/AppSettings.h"
#include "components/ui/IconLists.h"
#include "store/GuardedConnect.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quillpad {

TupdateDlg::TupdateDlg(WebLinks &links, AppSettings &settings, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("UpdateDlg"));
    setWindowTitle(QStringLiteral("Ambrel Update"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(IconList::large().icon(IconRole::Application).pixmap(32, 32));
    Image1->setFixedSize(32, 32);
    Label1 = new QLabel(QStringLiteral("Updates are published on the Ambrel website."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(
        QStringLiteral("Would you like to see more information about these updates and how to obtain them? "), this);
    Label2->setObjectName(QStringLiteral("Label2"));

    btn_Yes = new QPushButton(QStringLiteral("&Yes"), this);
    btn_Yes->setObjectName(QStringLiteral("btn_Yes"));
    QFont bold = btn_Yes->font();
    bold.setBold(true);
    btn_Yes->setFont(bold);
    // The offer comes up by itself at start-up: an Enter meant for the list must not
    // answer it, so no button is the default and the window takes no focus when shown.
    btn_Yes->setAutoDefault(false);
    setAttribute(Qt::WA_ShowWithoutActivating);
    Button2 = new QPushButton(QStringLiteral("&No"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setAutoDefault(false);
    cb_ask = new QCheckBox(QStringLiteral("Do not ask me again."), this);
    cb_ask->setObjectName(QStringLiteral("cb_ask"));
    QPalette blue = cb_ask->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    cb_ask->setPalette(blue);

    ConnectGuarded(btn_Yes, &QPushButton::clicked, this, [this, &links] {
        links.OpenWebPage(QStringLiteral("index.htm"));
        accept();
    });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    // Every click stores the switch, both in the window's copy and in the file.
    ConnectGuarded(cb_ask, &QCheckBox::clicked, this, [this, &settings] { settings.setVisitWebEn(!cb_ask->isChecked()); });

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(TimeoutMs);
    connect(Timer1, &QTimer::timeout, this, &QDialog::reject);
    Timer1->start();

    auto *texts = new QVBoxLayout;
    texts->addWidget(Label1);
    texts->addWidget(Label2);
    auto *top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(cb_ask);
    bottom->addStretch();
    bottom->addWidget(btn_Yes);
    bottom->addWidget(Button2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addStretch();
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace quillpad
