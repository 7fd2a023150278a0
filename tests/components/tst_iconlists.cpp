// The icon lists, and the program's own bitmaps, sound and icon files.

#include "components/ui/IconLists.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QTest>
#include <QtEndian>

using namespace quillpad;

namespace {

const QString Resources = QStringLiteral(QUILLPAD_RESOURCES_DIR);

// Pixels that are clearly drawn (alpha above a quarter).
int drawnPixels(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            count += qAlpha(argb.pixel(x, y)) > 64;
    return count;
}

QImage imageOf(const QIcon &icon, int size, QIcon::Mode mode = QIcon::Normal)
{
    return icon.pixmap(QSize(size, size), 1.0, mode).toImage();
}

quint32 le32(const QByteArray &data, qsizetype at)
{
    return qFromLittleEndian<quint32>(data.constData() + at);
}

quint16 le16(const QByteArray &data, qsizetype at)
{
    return qFromLittleEndian<quint16>(data.constData() + at);
}

}  // namespace

class TestIconLists : public QObject {
    Q_OBJECT

private slots:
    void everyPositionPaints_data();
    void everyPositionPaints();
    void glyphsAreDistinct();
    void disabledIsGreyAndFainter();
    void positionOutsideListIsNull();
    void backgroundBitmaps_data();
    void backgroundBitmaps();
    void rowStripesDiffer();
    void applicationIcon_data();
    void applicationIcon();
    void desktopEntryNamesItsIcon();
    void alarmSoundIsShortPcm();
    void contactSheet();
};

void TestIconLists::everyPositionPaints_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("position");
    for (int size : {16, 22})
        for (int position = 0; position < IconRoleCount; ++position)
            QTest::addRow("%d px, position %d", size, position) << size << position;
}

void TestIconLists::everyPositionPaints()
{
    QFETCH(int, size);
    QFETCH(int, position);
    const IconList &list = size == 16 ? IconList::small() : IconList::large();
    QCOMPARE(list.size(), size);

    // Whatever the desktop theme gives, and our own drawing on its own.
    for (const QIcon &icon : {list.icon(position), list.ownIcon(position)}) {
        QVERIFY(!icon.isNull());
        const QImage image = imageOf(icon, size);
        QCOMPARE(image.size(), QSize(size, size));
        QVERIFY2(drawnPixels(image) >= size * size / 16, "icon is (nearly) empty");
    }
    QCOMPARE(list.pixmap(position).deviceIndependentSize().toSize(), QSize(size, size));
}

// A slip in the table would give two commands the same picture.
void TestIconLists::glyphsAreDistinct()
{
    QSet<QByteArray> seen;
    for (int position = 0; position < IconRoleCount; ++position) {
        const QImage image = imageOf(IconList::small().ownIcon(position), 16)
                                 .convertToFormat(QImage::Format_ARGB32);
        const QByteArray bytes(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes());
        QVERIFY2(!seen.contains(bytes), qPrintable(QStringLiteral("position %1 repeats another").arg(position)));
        seen.insert(bytes);
    }
}

void TestIconLists::disabledIsGreyAndFainter()
{
    const QIcon icon = IconList::small().ownIcon(IconRole::AddTask);  // green
    const QImage normal = imageOf(icon, 16).convertToFormat(QImage::Format_ARGB32);
    const QImage disabled = imageOf(icon, 16, QIcon::Disabled).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(disabled.size(), normal.size());
    int normalAlpha = 0, disabledAlpha = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const QRgb px = disabled.pixel(x, y);
            QVERIFY(qRed(px) == qGreen(px) && qGreen(px) == qBlue(px));
            normalAlpha += qAlpha(normal.pixel(x, y));
            disabledAlpha += qAlpha(px);
        }
    QVERIFY(disabledAlpha > 0);
    QVERIFY(disabledAlpha < normalAlpha / 2);
}

void TestIconLists::positionOutsideListIsNull()
{
    QVERIFY(IconList::small().icon(-1).isNull());
    QVERIFY(IconList::small().icon(IconRoleCount).isNull());
    QVERIFY(IconList::large().ownIcon(IconRoleCount).isNull());
    QVERIFY(IconList::large().pixmap(IconRoleCount).isNull());
}

void TestIconLists::backgroundBitmaps_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("top toolbar") << "toolsbarBackground.bmp" << QSize(64, 30);
    QTest::newRow("bottom toolbar") << "searchbarBackground.bmp" << QSize(64, 26);
    QTest::newRow("sub-task rows") << "groupBackground.bmp" << QSize(64, 24);
    QTest::newRow("even rows") << "itemBackground0.bmp" << QSize(64, 24);
    QTest::newRow("odd rows") << "itemBackground1.bmp" << QSize(64, 24);
}

void TestIconLists::backgroundBitmaps()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    // The program looks in "Images" with a capital I; the name must match exactly.
    const QImage image(Resources + QStringLiteral("/Images/") + name, "BMP");
    QVERIFY2(!image.isNull(), qPrintable(name));
    QCOMPARE(image.size(), size);
}

void TestIconLists::rowStripesDiffer()
{
    const QImage even(Resources + QStringLiteral("/Images/itemBackground0.bmp"));
    const QImage odd(Resources + QStringLiteral("/Images/itemBackground1.bmp"));
    QVERIFY(!even.isNull() && !odd.isNull());
    QVERIFY(even.convertToFormat(QImage::Format_RGB32) != odd.convertToFormat(QImage::Format_RGB32));
}

void TestIconLists::applicationIcon_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("about box") << "images/appIcon.png";
    QTest::newRow("desktop entry") << "icons/ambrel-quillpad.png";
}

void TestIconLists::applicationIcon()
{
    QFETCH(QString, path);
    const QImage image(Resources + QLatin1Char('/') + path, "PNG");
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), QSize(128, 128));
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);  // a shape, not a square
    QCOMPARE(qAlpha(image.pixel(64, 64)), 255);
}

void TestIconLists::desktopEntryNamesItsIcon()
{
    QFile file(Resources + QStringLiteral("/ambrel-quillpad.desktop"));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QStringLiteral("[Desktop Entry]"));
    QVERIFY(lines.contains(QStringLiteral("Exec=quillpad")));
    QString iconName;
    for (const QString &line : lines)
        if (line.startsWith(QLatin1String("Icon=")))
            iconName = line.mid(5);
    QVERIFY(QFile::exists(Resources + QStringLiteral("/icons/") + iconName + QStringLiteral(".png")));
}

void TestIconLists::alarmSoundIsShortPcm()
{
    QFile file(Resources + QStringLiteral("/Sounds/Alarm.wav"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray wav = file.readAll();
    QVERIFY(wav.size() > 44);
    QCOMPARE(wav.left(4), QByteArray("RIFF"));
    QCOMPARE(qsizetype(le32(wav, 4)), wav.size() - 8);
    QCOMPARE(wav.mid(8, 4), QByteArray("WAVE"));

    bool haveFormat = false;
    QByteArray samples;
    for (qsizetype at = 12; at + 8 <= wav.size();) {
        const QByteArray id = wav.mid(at, 4);
        const qsizetype length = le32(wav, at + 4);
        QVERIFY(at + 8 + length <= wav.size());
        if (id == "fmt ") {
            QVERIFY(length >= 16);
            QCOMPARE(le16(wav, at + 8), quint16(1));       // PCM
            QCOMPARE(le16(wav, at + 10), quint16(1));      // mono
            QCOMPARE(le32(wav, at + 12), quint32(22050));  // samples per second
            QCOMPARE(le16(wav, at + 22), quint16(16));     // bits per sample
            haveFormat = true;
        } else if (id == "data") {
            samples = wav.mid(at + 8, length);
        }
        at += 8 + length + (length & 1);
    }
    QVERIFY(haveFormat);
    const double seconds = samples.size() / 2 / 22050.0;
    QVERIFY2(seconds >= 1.0 && seconds <= 2.0, qPrintable(QString::number(seconds)));

    int peak = 0;
    for (qsizetype i = 0; i + 1 < samples.size(); i += 2)
        peak = std::max(peak, std::abs(int(qFromLittleEndian<qint16>(samples.constData() + i))));
    QVERIFY(peak > 3000);   // audible
    QVERIFY(peak < 32767);  // not clipped
    const int last = std::abs(int(qFromLittleEndian<qint16>(samples.constData() + samples.size() - 2)));
    QVERIFY(last < 100);  // rings out without a click
}

// Not a check: with QUILLPAD_ICON_SHEET set to a file name, writes every icon of both
// lists (own drawing, disabled, double density, desktop theme) to one picture to look at.
void TestIconLists::contactSheet()
{
    const QString target = qEnvironmentVariable("QUILLPAD_ICON_SHEET");
    if (target.isEmpty())
        QSKIP("set QUILLPAD_ICON_SHEET to write the contact sheet");

    constexpr int Columns = 5, CellW = 150, CellH = 50;
    const int rows = (IconRoleCount + Columns - 1) / Columns;
    QImage sheet(Columns * CellW, rows * CellH, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    for (int position = 0; position < IconRoleCount; ++position) {
        const int x = (position % Columns) * CellW + 4, y = (position / Columns) * CellH + 4;
        p.setPen(Qt::gray);
        p.drawText(QRect(x, y, 20, 16), Qt::AlignLeft | Qt::AlignVCenter, QString::number(position));
        const QIcon own = IconList::small().ownIcon(position);
        p.drawImage(x + 20, y, imageOf(own, 16));
        p.drawImage(x + 40, y, imageOf(own, 22));
        p.drawImage(x + 66, y, imageOf(own, 16, QIcon::Disabled));
        p.drawImage(x + 86, y, imageOf(own, 32));
        p.drawImage(x + 20, y + 26, imageOf(IconList::small().icon(position), 16));
        p.drawImage(x + 40, y + 24, imageOf(IconList::large().icon(position), 22));
    }
    p.end();
    QVERIFY(sheet.scaled(sheet.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation).save(target));
}

QTEST_MAIN(TestIconLists)
#include "tst_iconlists.moc"
