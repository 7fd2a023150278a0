// The rows and toolbars in a light and a dark colour scheme, with the program's own
// pictures: every kind of row paints its text readably on the background it paints,
// a light scheme keeps the pictures as drawn, and a scheme changed at run time is
// followed.

#include "FrameFixture.h"
#include "tasks/Contrast.h"
#include "tasks/StoredColor.h"
#include "tasks/ui/BitmapToolBar.h"

#include <QMouseEvent>
#include <QStyle>
#include <QToolBar>

using namespace quillpad;

namespace {

QPixmap Picture(const char *name)
{
    const QPixmap picture(QStringLiteral(QUILLPAD_IMAGES_DIR "/") + QLatin1String(name));
    if (picture.isNull())
        qFatal("missing picture %s", name);
    return picture;
}

QPalette Light()
{
    return QApplication::style()->standardPalette();
}

// Colours as Breeze Dark sets them.
QPalette Dark()
{
    QPalette palette = QApplication::style()->standardPalette();
    const auto both = [&palette](QPalette::ColorRole role, const char *colour) {
        palette.setColor(QPalette::Active, role, QColor(colour));
        palette.setColor(QPalette::Inactive, role, QColor(colour));
    };
    both(QPalette::Window, "#2a2e32");
    both(QPalette::WindowText, "#fcfcfc");
    both(QPalette::Base, "#1b1e20");
    both(QPalette::Midlight, "#3b4045");
    both(QPalette::AlternateBase, "#232629");
    both(QPalette::Text, "#fcfcfc");
    both(QPalette::Button, "#31363b");
    both(QPalette::ButtonText, "#fcfcfc");
    both(QPalette::ToolTipBase, "#31363b");
    both(QPalette::ToolTipText, "#fcfcfc");
    both(QPalette::Highlight, "#3daee9");
    both(QPalette::HighlightedText, "#fcfcfc");
    palette.setColor(QPalette::Disabled, QPalette::Window, QColor("#272b2f"));
    palette.setColor(QPalette::Disabled, QPalette::Base, QColor("#1a1d1f"));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor("#6e7175"));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor("#6e7175"));
    return palette;
}

// The scheme is the application's before any window is made, as at a program's start.
struct Scheme {
    explicit Scheme(const QPalette &palette) { QApplication::setPalette(palette); }
};

class ColourFixture : private Scheme, public Fixture {
public:
    explicit ColourFixture(const QPalette &palette) : Scheme(palette)
    {
        images = {Picture("toolsbarBackground.bmp"), Picture("searchbarBackground.bmp"),
                  Picture("groupBackground.bmp"), Picture("itemBackground0.bmp"), Picture("itemBackground1.bmp")};
    }
    ~ColourFixture() { QApplication::setPalette(Light()); }

    // The row's pixels as the list paints them.
    QImage rowShot(const QString &content)
    {
        TaskTreeView *view = frame->treeView();
        const QRect rect = view->visualRect(frame->model()->indexOf(node(content)));
        return view->viewport()->grab(rect).toImage();
    }

    QColor pen(const QString &content)
    {
        QFont font;
        QColor colour;
        frame->VtTasksPaintText(*node(content), false, font, colour);
        return colour;
    }

    void hover(const QString &content)
    {
        TaskTreeView *view = frame->treeView();
        const QPoint at = view->visualRect(frame->model()->indexOf(node(content))).center();
        QMouseEvent move(QEvent::MouseMove, at, view->viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(view->viewport(), &move);
        QCOMPARE(view->hotNode(), node(content));
    }
};

// The colours down the row's right end, where no text reaches, above the grid line
// under the row (no text there either).
QList<QColor> BackgroundDown(const QImage &row)
{
    QList<QColor> colours;
    const int x = row.width() - 2;
    for (int y = 0; y < row.height() - 1; ++y) {
        const QColor colour = row.pixelColor(x, y);
        if (!colours.contains(colour))
            colours.append(colour);
    }
    return colours;
}

// Whether the row shows pixels of (nearly) the pen itself: the cores of its letters.
bool ShowsPen(const QImage &row, const QColor &pen)
{
    for (int y = 0; y < row.height(); ++y) {
        for (int x = 0; x < row.width(); ++x) {
            const QColor pixel = row.pixelColor(x, y);
            if (qAbs(pixel.red() - pen.red()) + qAbs(pixel.green() - pen.green()) + qAbs(pixel.blue() - pen.blue()) < 40)
                return true;
        }
    }
    return false;
}

}  // namespace

class TestRowColours : public QObject {
    Q_OBJECT

private slots:
    void textReadsOnItsRow_data();
    void textReadsOnItsRow();
    void lightSchemeKeepsThePictures();
    void schemeChangeIsFollowed();
};

void TestRowColours::textReadsOnItsRow_data()
{
    QTest::addColumn<QPalette>("palette");
    QTest::addColumn<QString>("row");

    const QStringList rows{"first task", "second task", "a sub-task", "done task", "", "hovered task",
                           "on yellow", "on navy"};
    for (const auto &[scheme, palette] : {std::pair{"light", Light()}, std::pair{"dark", Dark()}}) {
        for (const QString &row : rows) {
            const QString name = row.isEmpty() ? QStringLiteral("placeholder") : row;
            QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(scheme), name))) << palette << row;
        }
    }
}

void TestRowColours::textReadsOnItsRow()
{
    QFETCH(QPalette, palette);
    QFETCH(QString, row);
    ColourFixture f(palette);
    f.add({"{1}", "", "first task", false, true});
    f.add({"{2}", "", "second task", false, false});
    f.add({"{S}", "{1}", "a sub-task", false, false});
    f.add({"{D}", "", "done task", true, false});
    f.add({"{E}", "", "", false, false});
    f.add({"{H}", "", "hovered task", false, false});
    f.add({"{Y}", "", "on yellow", false, false});
    f.add({"{N}", "", "on navy", false, false});
    Query query(f.connection);
    ExecSql(query, QStringLiteral("update tasks set backgroundColor=%1 where tid='{Y}'")
                       .arg(QColorToStored(QColor(255, 255, 0))));
    ExecSql(query, QStringLiteral("update tasks set backgroundColor=%1 where tid='{N}'")
                       .arg(QColorToStored(QColor(0, 0, 128))));
    f.open();
    f.frame->treeView()->setCurrentIndex(QModelIndex());
    f.frame->treeView()->clearSelection();
    if (row == QStringLiteral("hovered task"))
        f.hover(row);

    const QImage shot = f.rowShot(row);
    const QColor pen = f.pen(row);
    QVERIFY(ShowsPen(shot, pen));
    for (const QColor &background : BackgroundDown(shot)) {
        const double ratio = ContrastRatio(pen, background);
        QVERIFY2(ratio >= ReadableContrast, qPrintable(QStringLiteral("%1 on %2: %3:1")
                                                           .arg(pen.name(), background.name())
                                                           .arg(ratio, 0, 'f', 2)));
    }
}

void TestRowColours::lightSchemeKeepsThePictures()
{
    ColourFixture f(Light());
    f.add({"{1}", "", "first task", false, false});
    f.add({"{2}", "", "second task", false, false});
    f.open();
    f.frame->treeView()->clearSelection();
    // Base is white here: each row and bar shows its picture as drawn.
    const QImage item0 = f.images.item0.toImage(), item1 = f.images.item1.toImage();
    QCOMPARE(BackgroundDown(f.rowShot(QStringLiteral("first task"))).first(), item0.pixelColor(0, 0));
    QCOMPARE(BackgroundDown(f.rowShot(QStringLiteral("second task"))).first(), item1.pixelColor(0, 0));
    auto *top = f.frame->findChild<BitmapToolBar *>(QStringLiteral("ToolBar_Top"));
    QVERIFY(top);
    QCOMPARE(top->laidBackground().toImage().pixelColor(0, 0), f.images.toolsbar.toImage().pixelColor(0, 0));
}

void TestRowColours::schemeChangeIsFollowed()
{
    ColourFixture f(Light());
    f.add({"{1}", "", "first task", false, false});
    f.open();
    f.frame->treeView()->clearSelection();
    const QColor lightRow = BackgroundDown(f.rowShot(QStringLiteral("first task"))).first();
    auto *top = f.frame->findChild<BitmapToolBar *>(QStringLiteral("ToolBar_Top"));
    const QColor lightBar = top->grab().toImage().pixelColor(2, 2);

    QApplication::setPalette(Dark());
    QCoreApplication::processEvents();
    const QColor darkRow = BackgroundDown(f.rowShot(QStringLiteral("first task"))).first();
    const QColor darkBar = top->grab().toImage().pixelColor(2, 2);
    const QColor base("#1b1e20");
    QVERIFY2(ContrastRatio(darkRow, base) < 1.2, qPrintable(darkRow.name()));
    QVERIFY2(ContrastRatio(darkBar, base) < 1.3, qPrintable(darkBar.name()));
    QVERIFY(ContrastRatio(lightRow, darkRow) > 10 && ContrastRatio(lightBar, darkBar) > 10);
    QVERIFY(ContrastRatio(f.pen(QStringLiteral("first task")), darkRow) >= ReadableContrast);
}

QTEST_MAIN(TestRowColours)
#include "tst_rowcolours.moc"
