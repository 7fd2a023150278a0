#include "components/ui/IconGlyphs.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace quillpad {

// Flat, quiet colours in the manner of current Linux desktop themes. A 1-unit outline
// sits on half coordinates so that it lands on whole pixels at 16 x 16.

namespace {

const QColor Ink(0x4a, 0x4f, 0x57);
const QColor Muted(0x8a, 0x90, 0x98);
const QColor Paper(0xff, 0xff, 0xff);
const QColor Blue(0x35, 0x84, 0xe4);
const QColor BlueLight(0xdb, 0xe9, 0xfa);
const QColor Green(0x26, 0xa2, 0x69);
const QColor Red(0xe0, 0x1b, 0x24);
const QColor Amber(0xe5, 0xa5, 0x0a);
const QColor AmberDark(0xa8, 0x75, 0x06);
const QColor Yellow(0xf8, 0xd7, 0x4b);

QPen pen(const QColor &colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void stroke(QPainter &p, const QColor &colour, qreal width, std::initializer_list<QPointF> points)
{
    p.setPen(pen(colour, width));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(points.begin(), int(points.size()));
}

void box(QPainter &p, const QRectF &r, const QColor &fill, const QColor &outline, qreal radius = 1.5)
{
    p.setPen(pen(outline, 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, radius, radius);
}

void disc(QPainter &p, const QPointF &centre, qreal radius, const QColor &fill)
{
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(centre, radius, radius);
}

// Lines of text on a page: one short grey stroke per y.
void textLines(QPainter &p, qreal x0, qreal x1, std::initializer_list<qreal> ys)
{
    for (qreal y : ys)
        stroke(p, Muted, 1, {{x0, y}, {x1, y}});
}

void page(QPainter &p, const QRectF &r)
{
    box(p, r, Paper, Ink, 1);
}

// A pencil from its end to its point, drawn with a light outline so it reads over a page.
void pencilShape(QPainter &p, QPointF end, QPointF point, qreal width)
{
    const QPointF along = point - end;
    const qreal length = std::hypot(along.x(), along.y());
    const QPointF u = along / length;
    const QPointF n(-u.y(), u.x());
    const qreal tip = width * 1.1;
    const QPointF tipBase = point - u * tip;
    const QPointF half = n * (width / 2);

    QPainterPath body;
    body.moveTo(end + half);
    body.lineTo(tipBase + half);
    body.lineTo(tipBase - half);
    body.lineTo(end - half);
    body.closeSubpath();
    QPainterPath nib;
    nib.moveTo(tipBase + half);
    nib.lineTo(point);
    nib.lineTo(tipBase - half);
    nib.closeSubpath();

    p.setPen(pen(Paper, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(body.united(nib));
    p.setPen(Qt::NoPen);
    p.setBrush(Amber);
    p.drawPath(body);
    p.setBrush(QColor(0xf0, 0xd9, 0xb5));
    p.drawPath(nib);
    disc(p, point - u * (tip * 0.25), width * 0.22, Ink);
    stroke(p, AmberDark, 0.6, {end + half * 0.2, tipBase + half * 0.2});
}

// Arrow from a tail to a head, the head's wings spread by `wing`.
void arrow(QPainter &p, const QColor &colour, qreal width, QPointF tail, QPointF head, qreal wing)
{
    const QPointF along = head - tail;
    const QPointF u = along / std::hypot(along.x(), along.y());
    const QPointF n(-u.y(), u.x());
    stroke(p, colour, width, {tail, head});
    stroke(p, colour, width, {head - u * wing + n * wing, head, head - u * wing - n * wing});
}

// A round badge in the lower right corner with a white mark drawn by `mark`.
template <typename Mark>
void badge(QPainter &p, const QColor &colour, Mark mark)
{
    disc(p, {11.5, 11.5}, 4.4, Paper);
    disc(p, {11.5, 11.5}, 3.7, colour);
    mark();
}

void calendarPage(QPainter &p, const QRectF &r)
{
    box(p, r, Paper, Ink, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    QPainterPath head;
    head.addRoundedRect(r.adjusted(0.5, 0.5, -0.5, 0), 1, 1);
    p.save();
    p.setClipRect(QRectF(r.left(), r.top(), r.width(), 3.5));
    p.drawPath(head);
    p.restore();
    // rings
    stroke(p, Ink, 1.2, {{r.left() + 3, r.top() - 1.2}, {r.left() + 3, r.top() + 1.5}});
    stroke(p, Ink, 1.2, {{r.right() - 3, r.top() - 1.2}, {r.right() - 3, r.top() + 1.5}});
}

void calendarDays(QPainter &p, const QRectF &r, int columns)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Muted);
    const qreal step = (r.width() - 2) / columns;
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < columns; ++col)
            p.drawRect(QRectF(r.left() + 1.6 + col * step + step / 2 - 1, r.top() + 5.2 + row * 3, 2, 1.8));
}

void noteOutline(QPainter &p)
{
    box(p, {2.5, 1.5, 11, 13}, Paper, Ink, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(Amber);
    p.drawRect(QRectF(3, 2, 10, 3));
    textLines(p, 5, 11, {8.5, 11.5});
}

void cylinder(QPainter &p, const QRectF &r)
{
    const qreal ry = 1.6;
    QPainterPath body;
    body.moveTo(r.left(), r.top() + ry);
    body.lineTo(r.left(), r.bottom() - ry);
    body.arcTo(QRectF(r.left(), r.bottom() - 2 * ry, r.width(), 2 * ry), 180, 180);
    body.lineTo(r.right(), r.top() + ry);
    body.arcTo(QRectF(r.left(), r.top(), r.width(), 2 * ry), 0, 180);
    body.closeSubpath();
    p.setPen(pen(Ink, 1));
    p.setBrush(QColor(0xe3, 0xe7, 0xec));
    p.drawPath(body);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(r.left(), r.top(), r.width(), 2 * ry), 180 * 16, 180 * 16);
    p.setPen(pen(Muted, 0.8));
    const qreal mid = r.center().y() + ry / 2;
    p.drawArc(QRectF(r.left(), mid - 2 * ry, r.width(), 2 * ry), 180 * 16, 180 * 16);
}

void circleMark(QPainter &p, const QColor &colour)
{
    disc(p, {8, 8}, 7, colour);
}

}  // namespace

namespace IconGlyphs {

void application(QPainter &p)
{
    noteOutline(p);
    // a quill across the pad
    QPainterPath vane;
    vane.moveTo(9.4, 11.6);
    vane.quadTo(9.4, 5.2, 15, 1.8);
    vane.quadTo(15.2, 8.8, 9.4, 11.6);
    p.setPen(pen(Paper, 1));
    p.setBrush(Blue);
    p.drawPath(vane);
    stroke(p, Ink, 1.1, {{7.6, 14.4}, {10.2, 10.6}});
}

void copy(QPainter &p)
{
    page(p, {1.5, 1.5, 8, 10});
    page(p, {6.5, 4.5, 8, 10});
    textLines(p, 8.5, 12.5, {7.5, 10, 12.5});
}

void paste(QPainter &p)
{
    box(p, {2.5, 2.5, 11, 12}, QColor(0xd8, 0xb5, 0x7e), QColor(0x8a, 0x67, 0x32), 1.5);
    page(p, {4.5, 5.5, 7, 7.5});
    textLines(p, 6, 10, {8, 10.5});
    box(p, {5.5, 1.5, 5, 2.5}, Ink, Ink, 0.8);
}

void addSubTask(QPainter &p)
{
    stroke(p, Muted, 2, {{2, 3}, {13, 3}});
    stroke(p, Ink, 1, {{3.5, 5}, {3.5, 10.5}, {6, 10.5}});
    stroke(p, Green, 2.2, {{10.5, 7}, {10.5, 14}});
    stroke(p, Green, 2.2, {{7, 10.5}, {14, 10.5}});
}

void editTask(QPainter &p)
{
    page(p, {1.5, 1.5, 9, 13});
    textLines(p, 3.5, 8.5, {4.5, 7, 9.5});
    pencilShape(p, {14.5, 5}, {7, 12.5}, 3);
}

void deleteTask(QPainter &p)
{
    stroke(p, Red, 2.4, {{3.5, 3.5}, {12.5, 12.5}});
    stroke(p, Red, 2.4, {{12.5, 3.5}, {3.5, 12.5}});
}

void markComplete(QPainter &p)
{
    stroke(p, Green, 2.4, {{2.5, 8.5}, {6.2, 12.2}, {13.5, 4}});
}

void bell(QPainter &p)
{
    QPainterPath shape;
    shape.moveTo(2.5, 12);
    shape.quadTo(4.5, 10.5, 4.5, 7.5);
    shape.cubicTo(4.5, 2.8, 11.5, 2.8, 11.5, 7.5);
    shape.quadTo(11.5, 10.5, 13.5, 12);
    shape.closeSubpath();
    disc(p, {8, 12.8}, 1.7, AmberDark);
    disc(p, {8, 2.6}, 1.1, AmberDark);
    p.setPen(pen(AmberDark, 1));
    p.setBrush(Yellow);
    p.drawPath(shape);
}

void dateView(QPainter &p)
{
    stroke(p, Muted, 1.5, {{1.5, 2.5}, {14.5, 2.5}});
    stroke(p, Muted, 1.5, {{1.5, 6}, {9, 6}});
    stroke(p, Muted, 1.5, {{1.5, 9.5}, {5.5, 9.5}});
    stroke(p, Muted, 1.5, {{1.5, 13}, {5.5, 13}});
    const QRectF r(7.5, 8.5, 7, 6);
    box(p, r, Paper, Ink, 1);
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    p.drawRect(QRectF(8, 9, 6, 1.8));
    disc(p, {10, 12.6}, 0.8, Ink);
    disc(p, {12.3, 12.6}, 0.8, Ink);
}

void sortAscending(QPainter &p)
{
    arrow(p, Blue, 1.8, {4.5, 14}, {4.5, 2.2}, 3);
    stroke(p, Muted, 1.6, {{9.5, 4}, {11, 4}});
    stroke(p, Muted, 1.6, {{9.5, 8}, {12.5, 8}});
    stroke(p, Muted, 1.6, {{9.5, 12}, {14.2, 12}});
}

void sortDescending(QPainter &p)
{
    arrow(p, Blue, 1.8, {4.5, 2}, {4.5, 13.8}, 3);
    stroke(p, Muted, 1.6, {{9.5, 4}, {14.2, 4}});
    stroke(p, Muted, 1.6, {{9.5, 8}, {12.5, 8}});
    stroke(p, Muted, 1.6, {{9.5, 12}, {11, 12}});
}

void listView(QPainter &p)
{
    for (qreal y : {3.5, 8.0, 12.5}) {
        p.setPen(Qt::NoPen);
        p.setBrush(Blue);
        p.drawRoundedRect(QRectF(1.5, y - 1.25, 2.5, 2.5), 0.5, 0.5);
        stroke(p, Ink, 1.4, {{6, y}, {14.3, y}});
    }
}

void colorSwatches(QPainter &p)
{
    const QColor colours[] = {Red, Yellow, Green, Blue};
    for (int i = 0; i < 4; ++i) {
        const QRectF r(1.5 + (i % 2) * 7, 1.5 + (i / 2) * 7, 6, 6);
        box(p, r, colours[i], colours[i].darker(135), 1.5);
    }
}

void expandAll(QPainter &p)
{
    stroke(p, Ink, 1.7, {{4, 6}, {8, 2.2}, {12, 6}});
    stroke(p, Ink, 1.7, {{4, 10}, {8, 13.8}, {12, 10}});
}

void collapseAll(QPainter &p)
{
    stroke(p, Ink, 1.7, {{4, 2}, {8, 5.8}, {12, 2}});
    stroke(p, Ink, 1.7, {{4, 14}, {8, 10.2}, {12, 14}});
    stroke(p, Muted, 1.2, {{2, 8}, {14, 8}});
}

void add(QPainter &p)
{
    stroke(p, Green, 3, {{8, 2.5}, {8, 13.5}});
    stroke(p, Green, 3, {{2.5, 8}, {13.5, 8}});
}

void pencil(QPainter &p)
{
    pencilShape(p, {14, 2}, {2.2, 13.8}, 3.6);
}

void save(QPainter &p)
{
    arrow(p, Blue, 1.8, {8, 1.8}, {8, 10}, 3.2);
    stroke(p, Ink, 1.4, {{2, 9.5}, {2, 13.8}, {14, 13.8}, {14, 9.5}});
}

void print(QPainter &p)
{
    page(p, {4.5, 1.5, 7, 5});
    box(p, {1.5, 5.5, 13, 6}, QColor(0xd5, 0xd9, 0xde), Ink, 1.5);
    page(p, {4.5, 9.5, 7, 5});
    textLines(p, 6, 10, {12});
    disc(p, {12.3, 7.5}, 0.8, Green);
}

void information(QPainter &p)
{
    circleMark(p, Blue);
    disc(p, {8, 4.6}, 1.2, Paper);
    stroke(p, Paper, 2, {{8, 7.3}, {8, 12}});
}

void magnifier(QPainter &p)
{
    stroke(p, Ink, 2.8, {{10.2, 10.2}, {14, 14}});
    p.setPen(pen(Ink, 1.6));
    p.setBrush(BlueLight);
    p.drawEllipse(QPointF(6.5, 6.5), 4.6, 4.6);
}

void backArrow(QPainter &p)
{
    arrow(p, Blue, 2, {14, 8}, {2.5, 8}, 4.2);
}

void alarmClock(QPainter &p)
{
    disc(p, {3.6, 3.6}, 2.4, Amber);
    disc(p, {12.4, 3.6}, 2.4, Amber);
    stroke(p, Ink, 1.3, {{4.6, 13}, {3.3, 14.5}});
    stroke(p, Ink, 1.3, {{11.4, 13}, {12.7, 14.5}});
    p.setPen(pen(Ink, 1.3));
    p.setBrush(Paper);
    p.drawEllipse(QPointF(8, 9), 5.4, 5.4);
    stroke(p, Ink, 1.2, {{8, 5.8}, {8, 9}, {10.3, 10.3}});
}

void calendarOverdue(QPainter &p)
{
    const QRectF r(1.5, 2.5, 12, 11.5);
    calendarPage(p, r);
    calendarDays(p, r, 3);
    badge(p, Red, [&] {
        stroke(p, Paper, 1.5, {{11.5, 9.3}, {11.5, 11.8}});
        disc(p, {11.5, 13.6}, 0.8, Paper);
    });
}

void calendar(QPainter &p)
{
    const QRectF r(1.5, 2.5, 13, 12);
    calendarPage(p, r);
    calendarDays(p, r, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(Red);
    p.drawRect(QRectF(r.left() + 1.6 + 3 * (r.width() - 2) / 4 + (r.width() - 2) / 8 - 1, r.top() + 8.2, 2, 1.8));
}

void email(QPainter &p)
{
    box(p, {1.5, 3.5, 13, 9}, Paper, Ink, 1);
    stroke(p, Ink, 1, {{2, 4}, {8, 9}, {14, 4}});
}

void exportTasks(QPainter &p)
{
    page(p, {1.5, 1.5, 9, 13});
    textLines(p, 3.5, 8.5, {4.5, 7});
    stroke(p, Paper, 4, {{7, 10.5}, {14, 10.5}});
    arrow(p, Blue, 1.8, {7, 10.5}, {14.3, 10.5}, 3);
}

void importTasks(QPainter &p)
{
    page(p, {5.5, 1.5, 9, 13});
    textLines(p, 7.5, 12.5, {4.5, 7});
    stroke(p, Paper, 4, {{1.5, 10.5}, {10, 10.5}});
    arrow(p, Green, 1.8, {1.5, 10.5}, {10.2, 10.5}, 3);
}

void backup(QPainter &p)
{
    cylinder(p, {1.5, 1.5, 10, 12});
    badge(p, Green, [&] { arrow(p, Paper, 1.4, {11.5, 9}, {11.5, 13.6}, 1.8); });
}

void restore(QPainter &p)
{
    cylinder(p, {1.5, 1.5, 10, 12});
    badge(p, Blue, [&] { arrow(p, Paper, 1.4, {11.5, 13.8}, {11.5, 9.2}, 1.8); });
}

void options(QPainter &p)
{
    constexpr int Teeth = 8;
    constexpr qreal Outer = 7.2, Inner = 5.2;
    constexpr qreal Pi = std::numbers::pi;
    QPainterPath gear;
    for (int i = 0; i < Teeth; ++i) {
        const qreal a = 2 * Pi * i / Teeth;
        const qreal steps[] = {-0.36, -0.2, 0.2, 0.36};
        const qreal radii[] = {Inner, Outer, Outer, Inner};
        for (int k = 0; k < 4; ++k) {
            const QPointF pt(8 + radii[k] * std::cos(a + steps[k]), 8 + radii[k] * std::sin(a + steps[k]));
            if (i == 0 && k == 0)
                gear.moveTo(pt);
            else
                gear.lineTo(pt);
        }
    }
    gear.closeSubpath();
    gear.addEllipse(QPointF(8, 8), 2.3, 2.3);
    gear.setFillRule(Qt::OddEvenFill);
    p.setPen(Qt::NoPen);
    p.setBrush(Muted.darker(115));
    p.drawPath(gear);
}

void help(QPainter &p)
{
    circleMark(p, Blue);
    QPainterPath mark;
    mark.moveTo(5.7, 6.1);
    mark.cubicTo(5.7, 2.9, 10.5, 2.9, 10.4, 6.1);
    mark.cubicTo(10.3, 8, 8, 8, 8, 10);
    p.setPen(pen(Paper, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawPath(mark);
    disc(p, {8, 12.4}, 1.1, Paper);
}

void about(QPainter &p)
{
    noteOutline(p);
    badge(p, Blue, [&] {
        disc(p, {11.5, 9.6}, 0.8, Paper);
        stroke(p, Paper, 1.4, {{11.5, 11.3}, {11.5, 13.5}});
    });
}

void exit(QPainter &p)
{
    p.setPen(pen(Red.darker(110), 1.9));
    p.setBrush(Qt::NoBrush);
    // open at the top, where the bar stands
    p.drawArc(QRectF(2.3, 2.8, 11.4, 11.4), 120 * 16, -300 * 16);
    stroke(p, Red.darker(110), 1.9, {{8, 1.8}, {8, 7.8}});
}

void lightBulb(QPainter &p)
{
    QPainterPath glass;
    glass.moveTo(5.6, 10.5);
    glass.cubicTo(5.6, 8.8, 3, 7.8, 3, 5.6);
    glass.cubicTo(3, 2.7, 5.3, 1, 8, 1);
    glass.cubicTo(10.7, 1, 13, 2.7, 13, 5.6);
    glass.cubicTo(13, 7.8, 10.4, 8.8, 10.4, 10.5);
    glass.closeSubpath();
    p.setPen(pen(AmberDark, 1));
    p.setBrush(Yellow);
    p.drawPath(glass);
    box(p, {5.5, 11, 5, 2.5}, QColor(0xb0, 0xb5, 0xbb), Ink, 0.8);
    stroke(p, Ink, 1.4, {{7, 14.6}, {9, 14.6}});
}

}  // namespace IconGlyphs

}  // namespace quillpad
