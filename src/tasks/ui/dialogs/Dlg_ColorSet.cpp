#include "tasks/ui/dialogs/Dlg_ColorSet.h"

#include "store/GuardedConnect.h"
#include "components/ui/IconLists.h"
#include "tasks/StoredColor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillpad {

namespace {

constexpr qint32 StoredBlack = 0;
constexpr qint32 StoredWhite = 0xFFFFFF;

QIcon Swatch(const QColor &color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.setBrush(color);
    painter.drawRect(0, 0, 15, 15);
    return QIcon(pixmap);
}

QString ColorName(qint32 value)
{
    if (IsSystemColor(value))
        return QStringLiteral("System Color %1").arg(static_cast<quint32>(value) & 0xFFu);
    return QColor(StoredColorToQColor(value, QPalette())).name(QColor::HexRgb).toUpper();
}

QWidget *ColorGroup(QWidget *parent, const QString &title, QCheckBox *check, QComboBox *box)
{
    auto *group = new QGroupBox(title, parent);
    auto *custom = new QHBoxLayout;
    custom->addWidget(new QLabel(QStringLiteral("Custom: "), group));
    custom->addWidget(box, 1);
    auto *layout = new QVBoxLayout(group);
    layout->addWidget(check);
    layout->addLayout(custom);
    return group;
}

}  // namespace

TColorSetDlg::TColorSetDlg(const ColorChoice &start, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ColorSetDlg"));
    setWindowTitle(QStringLiteral("Set Color"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(IconList::small().icon(IconRole::SetColor).pixmap(32, 32));
    Image1->setFixedSize(32, 32);

    cb_text = new QCheckBox(QStringLiteral("Default Text Color"), this);
    cb_text->setObjectName(QStringLiteral("cb_text"));
    cbox_text = MakeColorBox("cbox_text");
    cb_bg = new QCheckBox(QStringLiteral("Default Background Color"), this);
    cb_bg->setObjectName(QStringLiteral("cb_bg"));
    cbox_bg = MakeColorBox("cbox_bg");

    Memo1 = new QPlainTextEdit(QStringLiteral("The quick brown fox jumps over the lazy dog."), this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->setFixedHeight(60);

    btn_Default = new QPushButton(QStringLiteral("Default"), this);
    btn_Default->setObjectName(QStringLiteral("btn_Default"));
    btn_Ok = new QPushButton(QStringLiteral("OK"), this);
    btn_Ok->setObjectName(QStringLiteral("btn_Ok"));
    btn_Ok->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto *groups = new QHBoxLayout;
    groups->addWidget(ColorGroup(this, QStringLiteral("Text Color"), cb_text, cbox_text), 1);
    groups->addWidget(ColorGroup(this, QStringLiteral("Background Color"), cb_bg, cbox_bg), 1);

    auto *content = new QVBoxLayout;
    content->addLayout(groups);
    content->addWidget(new QLabel(QStringLiteral("Preview:"), this));
    content->addWidget(Memo1);

    auto *top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(content, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btn_Default);
    buttons->addStretch();
    buttons->addWidget(btn_Ok);
    buttons->addWidget(Button2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed border

    // The boxes start on black text and a white background; a colour of the task's own
    // replaces them.
    cb_text->setChecked(start.text == 0);
    cb_bg->setChecked(start.background == 0);
    SelectColor(cbox_text, start.text != 0 ? start.text : StoredBlack);
    SelectColor(cbox_bg, start.background != 0 ? start.background : StoredWhite);
    UpdateControls();

    ConnectGuarded(cb_text, &QCheckBox::toggled, this, &TColorSetDlg::UpdateControls);
    ConnectGuarded(cb_bg, &QCheckBox::toggled, this, &TColorSetDlg::UpdateControls);
    ConnectGuarded(cbox_text, &QComboBox::currentIndexChanged, this, &TColorSetDlg::UpdateControls);
    ConnectGuarded(cbox_bg, &QComboBox::currentIndexChanged, this, &TColorSetDlg::UpdateControls);
    ConnectGuarded(btn_Default, &QPushButton::clicked, this, &TColorSetDlg::btn_DefaultClick);
    ConnectGuarded(btn_Ok, &QPushButton::clicked, this, &TColorSetDlg::btn_OkClick);
    ConnectGuarded(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

QComboBox *TColorSetDlg::MakeColorBox(const char *name)
{
    auto *box = new QComboBox(this);
    box->setObjectName(QLatin1String(name));
    for (const QList<NamedColor> *list : {&StandardColors(), &ExtendedColors(), &SystemColors()}) {
        for (const NamedColor &color : *list)
            box->addItem(Swatch(StoredColorToQColor(color.stored, palette())), color.name, color.stored);
    }
    return box;
}

void TColorSetDlg::SelectColor(QComboBox *box, qint32 value)
{
    int index = box->findData(value);
    if (index < 0) {
        // A colour that none of the names has (from an imported file, say) stays the
        // task's colour unless the user picks another.
        box->addItem(Swatch(StoredColorToQColor(value, palette())), ColorName(value), value);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

qint32 TColorSetDlg::ChosenColor(const QComboBox *box)
{
    return box->currentData().toInt();
}

void TColorSetDlg::UpdateControls()
{
    cbox_text->setEnabled(!cb_text->isChecked());
    cbox_bg->setEnabled(!cb_bg->isChecked());
    const qint32 text = cb_text->isChecked() ? StoredBlack : ChosenColor(cbox_text);
    const qint32 background = cb_bg->isChecked() ? StoredWhite : ChosenColor(cbox_bg);
    QPalette preview = Memo1->palette();
    preview.setColor(QPalette::Text, StoredColorToQColor(text, palette()));
    preview.setColor(QPalette::Base, StoredColorToQColor(background, palette()));
    Memo1->setPalette(preview);
}

void TColorSetDlg::btn_OkClick()
{
    m_result.text = cb_text->isChecked() ? 0 : ChosenColor(cbox_text);
    m_result.background = cb_bg->isChecked() ? 0 : ChosenColor(cbox_bg);
    accept();
}

void TColorSetDlg::btn_DefaultClick()
{
    m_result = ColorChoice{};
    accept();
}

}  // namespace quillpad
