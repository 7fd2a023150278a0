#include "app/Dlg_About.h"

#include "app/LoadPicture.h"
#include "app/WebLinks.h"
#include "components/MakerAddresses.h"
#include "components/QvVersionInfo.h"
#include "store/AppError.h"
#include "store/GuardedConnect.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillpad {

const QString LicenceNotice = QStringLiteral(
    "Ambrel Quillpad is free software under the MIT License: you may use, copy, change and "
    "share it, and it comes without any warranty.");

namespace {

QFrame *Rule(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

}  // namespace

TAboutDlg::TAboutDlg(WebLinks &links, const QString &version, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutDlg"));
    setWindowTitle(QStringLiteral("About..."));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Image_App = new QLabel(this);
    Image_App->setObjectName(QStringLiteral("Image_App"));
    Image_App->setFixedSize(65, 65);
    Image_App->setScaledContents(true);
    Label_AppName = new QLabel(QStringLiteral("Ambrel Quillpad"), this);
    Label_AppName->setObjectName(QStringLiteral("Label_AppName"));
    QFont nameFont = Label_AppName->font();
    nameFont.setBold(true);
    nameFont.setPixelSize(19);
    Label_AppName->setFont(nameFont);
    lbl_version = new QLabel(version, this);
    lbl_version->setObjectName(QStringLiteral("lbl_version"));

    lbl_web = makeLink("lbl_web", MakerAddresses::WebSite());
    lbl_support = makeLink("lbl_support", MakerAddresses::SupportMail());
    lbl_Sales = makeLink("lbl_Sales", MakerAddresses::SalesMail());
    ConnectGuarded(lbl_web, &QLabel::linkActivated, this, [&links] { links.OpenWebPage(QStringLiteral("index.htm")); });
    ConnectGuarded(lbl_support, &QLabel::linkActivated, this,
                   [&links] { links.OpenMail(MakerAddresses::SupportMail()); });
    ConnectGuarded(lbl_Sales, &QLabel::linkActivated, this, [&links] { links.OpenMail(MakerAddresses::SalesMail()); });

    lbl_copyright = new QLabel(TQvVersionInfo().GetValue(TQvVersionInfo::LegalCopyright), this);
    lbl_copyright->setObjectName(QStringLiteral("lbl_copyright"));
    lbl_licence = new QLabel(LicenceNotice, this);
    lbl_licence->setObjectName(QStringLiteral("lbl_licence"));
    lbl_licence->setWordWrap(true);

    Button1 = new QPushButton(QStringLiteral("Close"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    auto *heading = new QHBoxLayout;
    heading->addWidget(Image_App);
    auto *nameAndVersion = new QVBoxLayout;
    nameAndVersion->addWidget(Label_AppName);
    nameAndVersion->addWidget(lbl_version);
    heading->addLayout(nameAndVersion, 1);

    auto *addresses = new QGridLayout;
    const QList<std::pair<QString, QLabel *>> rows = {
        {QStringLiteral("Website:"), lbl_web}, {QStringLiteral("Support:"), lbl_support}, {QStringLiteral("Sales:"), lbl_Sales}};
    for (int row = 0; row < rows.size(); ++row) {
        addresses->addWidget(new QLabel(rows[row].first, this), row, 0);
        addresses->addWidget(rows[row].second, row, 1);
    }
    addresses->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addWidget(Rule(this));
    layout->addLayout(addresses);
    layout->addWidget(Rule(this));
    layout->addWidget(lbl_copyright);
    layout->addWidget(lbl_licence);
    layout->addStretch();
    layout->addLayout(buttons);
    setFixedWidth(372);

    // A missing picture is reported; the box still opens, without it.
    RunGuarded([this] { Image_App->setPixmap(LoadPicture(QStringLiteral("images/appIcon.png"))); });
}

QLabel *TAboutDlg::makeLink(const char *name, const QString &text)
{
    // Blue and underlined with a hand cursor: the desktop's link look.
    auto *label = new QLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(text.toHtmlEscaped()), this);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

}  // namespace quillpad
