#include "tasks/ui/TaskTreePrinter.h"

#include "tasks/ui/TaskTreeView.h"

#include <QAbstractItemDelegate>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

#include <cmath>

namespace quillpad {

QImage TaskTreeImage(const TaskTreeView &view)
{
    const QModelIndexList rows = view.shownRows();
    const int width = std::max(view.viewport()->width(), 1);
    QList<QRect> places;
    int height = 0;
    QAbstractItemDelegate *delegate = view.itemDelegate();
    for (const QModelIndex &row : rows) {
        // Every row measured as the view measures it, but placed one under the other.
        const int indent = view.indentation() * (row.parent().isValid() ? 2 : 1);
        QStyleOptionViewItem option;
        option.initFrom(&view);
        option.rect = QRect(indent, height, width - indent, 1);
        const QRect place(indent, height, width - indent, delegate->sizeHint(option, row).height());
        height += place.height();
        places.append(place);
    }
    QImage image(width, std::max(height, 1), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QStyleOptionViewItem option;
        option.initFrom(&view);
        option.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver | QStyle::State_Selected);
        option.widget = &view;
        option.font = view.font();
        option.rect = places.at(i);
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        delegate->paint(&painter, option, rows.at(i));
    }
    return image;
}

int PrintTaskTree(const TaskTreeView &view, QPrinter &printer)
{
    const QImage image = TaskTreeImage(view);
    const qreal scale = QFontMetricsF(view.font(), &printer).height() / QFontMetricsF(view.font(), &view).height();
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    // The part of the image one page holds.
    const int pieceWidth = std::max(1, int(std::floor(page.width() / scale)));
    const int pieceHeight = std::max(1, int(std::floor(page.height() / scale)));
    QPainter painter(&printer);
    if (!painter.isActive())
        return 0;
    painter.scale(scale, scale);
    int pages = 0;
    for (int top = 0; top < image.height(); top += pieceHeight) {
        for (int left = 0; left < image.width(); left += pieceWidth) {
            if (pages++ > 0)
                printer.newPage();
            painter.drawImage(QPoint(0, 0), image, QRect(left, top, pieceWidth, pieceHeight));
        }
    }
    return pages;
}

}  // namespace quillpad
