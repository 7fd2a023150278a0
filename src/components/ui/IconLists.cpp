#include "components/ui/IconLists.h"

#include "components/ui/IconGlyphs.h"

#include <QIconEngine>
#include <QImage>
#include <QPainter>

#include <array>

namespace quillpad {

namespace {

struct IconEntry {
    IconRole role;
    const char *themeName;  // freedesktop icon naming where a name exists
    IconGlyphs::Painter glyph;
};

namespace G = IconGlyphs;

constexpr std::array<IconEntry, IconRoleCount> Entries = {{
    {IconRole::Application, "ambrel-quillpad", G::application},
    {IconRole::Copy, "edit-copy", G::copy},
    {IconRole::Paste, "edit-paste", G::paste},
    {IconRole::AddSubTask, "format-indent-more", G::addSubTask},
    {IconRole::EditTask, "document-edit", G::editTask},
    {IconRole::DeleteTask, "edit-delete", G::deleteTask},
    {IconRole::MarkComplete, "object-select", G::markComplete},
    {IconRole::SetReminder, "appointment-new", G::bell},
    {IconRole::DateView, "view-calendar", G::dateView},
    {IconRole::SortAscending, "view-sort-ascending", G::sortAscending},
    {IconRole::SortDescending, "view-sort-descending", G::sortDescending},
    {IconRole::ListView, "view-list", G::listView},
    {IconRole::SetColor, "format-fill-color", G::colorSwatches},
    {IconRole::ExpandAll, "expand-all", G::expandAll},
    {IconRole::CollapseAll, "collapse-all", G::collapseAll},
    {IconRole::AddTask, "list-add", G::add},
    {IconRole::Pencil, "edit-rename", G::pencil},
    {IconRole::Save, "document-save", G::save},
    {IconRole::Print, "document-print", G::print},
    {IconRole::Information, "dialog-information", G::information},
    {IconRole::Magnifier, "edit-find", G::magnifier},
    {IconRole::BackArrow, "go-previous", G::backArrow},
    {IconRole::AlarmClock, "appointment-soon", G::alarmClock},
    {IconRole::CalendarOverdue, "appointment-missed", G::calendarOverdue},
    {IconRole::Calendar, "x-office-calendar", G::calendar},
    {IconRole::Email, "mail-send", G::email},
    {IconRole::Export, "document-export", G::exportTasks},
    {IconRole::Import, "document-import", G::importTasks},
    {IconRole::Backup, "document-save-as", G::backup},
    {IconRole::Restore, "document-revert", G::restore},
    {IconRole::Options, "preferences-system", G::options},
    {IconRole::Help, "help-contents", G::help},
    {IconRole::About, "help-about", G::about},
    {IconRole::Exit, "application-exit", G::exit},
    {IconRole::LightBulb, "help-hint", G::lightBulb},
}};

constexpr bool inPositionOrder()
{
    for (int i = 0; i < IconRoleCount; ++i)
        if (static_cast<int>(Entries[i].role) != i)
            return false;
    return true;
}
static_assert(inPositionOrder(), "the icon table must list every position in order");

// Draws a glyph at whatever size is asked, so it stays sharp at any scale.
class GlyphIconEngine : public QIconEngine {
public:
    explicit GlyphIconEngine(IconGlyphs::Painter glyph) : m_glyph(glyph) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 16.0, rect.height() / 16.0);
        if (mode == QIcon::Disabled)
            painter->setOpacity(painter->opacity() * 0.4);
        m_glyph(*painter);
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            paint(&painter, QRect(QPoint(0, 0), size), QIcon::Normal, state);
        }
        if (mode == QIcon::Disabled)
            fadeToGrey(image);
        return QPixmap::fromImage(std::move(image));
    }

    QIconEngine *clone() const override { return new GlyphIconEngine(m_glyph); }
    QString key() const override { return QStringLiteral("QuillpadGlyph"); }

private:
    // Disabled commands: grey and faint, like the desktop's own disabled icons.
    static void fadeToGrey(QImage &image)
    {
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const QRgb px = line[x];
                const int grey = qGray(px) * 2 / 5;  // premultiplied, scaled with the alpha
                line[x] = qRgba(grey, grey, grey, qAlpha(px) * 2 / 5);
            }
        }
    }

    IconGlyphs::Painter m_glyph;
};

}  // namespace

IconList::IconList(Size size) : m_size(static_cast<int>(size))
{
    m_icons.reserve(IconRoleCount);
    m_ownIcons.reserve(IconRoleCount);
    for (int position = 0; position < IconRoleCount; ++position) {
        const IconEntry &entry = Entries[position];
        QIcon own(new GlyphIconEngine(entry.glyph));
        m_ownIcons.append(own);
        m_icons.append(QIcon::fromTheme(QString::fromLatin1(entry.themeName), own));
    }
}

QIcon IconList::icon(int position) const
{
    return m_icons.value(position);
}

QIcon IconList::ownIcon(int position) const
{
    return m_ownIcons.value(position);
}

QPixmap IconList::pixmap(int position) const
{
    return icon(position).pixmap(m_size, m_size);
}

const IconList &IconList::small()
{
    static const IconList list(Size::Small16);
    return list;
}

const IconList &IconList::large()
{
    static const IconList list(Size::Large22);
    return list;
}

}  // namespace quillpad
