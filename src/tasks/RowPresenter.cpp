#include "tasks/RowPresenter.h"

#include "store/DateText.h"
#include "store/pU_Funcs.h"
#include "tasks/Contrast.h"
#include "tasks/StoredColor.h"
#include "tasks/TaskTree.h"

#include <QFontMetrics>
#include <QRect>

#include <algorithm>

namespace quillpad {

RowPlace RowPlace::of(const TaskNode &node)
{
    return {node.isTopLevel(), node.position};
}

bool RowPresenter::isOverdue(const TTaskInfo &info) const
{
    return IsOverdue(info, m_view.today);
}

QString RowPresenter::text(const TTaskInfo &info, const RowPlace &place, const RowState &state) const
{
    // The editor shows the stored text as it is.
    if (state.editing)
        return info.content;
    if (info.content.isEmpty())
        return QStringLiteral("Input content here");

    QString text = info.content;
    if (m_view.dateView) {
        text += QStringLiteral(" -- Created: ") + ShortDateText(info.createTime);
        if (info.checkFlag) {
            text += QStringLiteral("  Completed: ") + ShortDateText(info.checkTime);
        } else {
            if (info.dueFlag)
                text += QStringLiteral("  Due: ") + ShortDateText(info.dueTime);
            if (info.alarmFlag)
                text += QStringLiteral("  Alarm: ") + DateTimeText(info.alarmTime);
        }
    }
    if (m_view.listView) {
        if (!state.expanded)
            text = OneLine(text);
        const QString number = QString::number(place.position + 1);
        text = place.topLevel ? number + QStringLiteral(". ") + text
                              : QLatin1Char('(') + number + QLatin1Char(')') + text;
    }
    return text;
}

RowIcon RowPresenter::icon(const TTaskInfo &info) const
{
    if (info.checkFlag)
        return RowIcon::None;
    if (info.alarmFlag)
        return RowIcon::Alarm;
    if (info.dueFlag)
        return isOverdue(info) ? RowIcon::Overdue : RowIcon::Due;
    return RowIcon::None;
}

QFont RowPresenter::font(const TTaskInfo &info, const RowState &state) const
{
    QFont font = m_view.font;
    if (isOverdue(info) && !info.checkFlag)
        font.setBold(true);
    if (!state.editing && (info.checkFlag || info.content.isEmpty()))
        font.setItalic(true);
    return font;
}

QColor RowPresenter::textColor(const TTaskInfo &info, const RowPlace &place, const RowState &state) const
{
    const QPalette &palette = m_view.palette;
    const QPalette::ColorGroup group = state.enabled ? QPalette::Normal : QPalette::Disabled;
    const QColor plain = palette.color(group, state.selected ? QPalette::HighlightedText : QPalette::Text);
    const QColor grey = palette.color(QPalette::Disabled, QPalette::Text);
    if (state.selected) {
        // Complete and placeholder rows are greyed, but not under the selection.
        if (state.editing || info.checkFlag || info.content.isEmpty() || info.textColor == 0)
            return plain;
        const QColor stored = StoredColorToQColor(info.textColor, palette);
        return stored == grey ? plain : stored;
    }
    if (!state.editing && info.textColor != 0 && !info.checkFlag && !info.content.isEmpty())
        return StoredColorToQColor(info.textColor, palette);
    const bool greyed = !state.editing && (info.checkFlag || info.content.isEmpty());
    return ReadableOn(greyed ? grey : plain, backgroundColours(info, place, state),
                      greyed ? PenShift::Least : PenShift::Whole);
}

QList<QColor> RowPresenter::backgroundColours(const TTaskInfo &info, const RowPlace &place,
                                              const RowState &state) const
{
    const RowFill fill = background(info, place, state);
    const QList<QColor> *shade = nullptr;
    switch (fill.kind) {
    case RowBackground::None:  // the editor, on Base
        break;
    case RowBackground::Hot:
    case RowBackground::Stored:
        return {fill.color};
    case RowBackground::SubTask:
        shade = &m_view.shades.subTask;
        break;
    case RowBackground::TopLevelEven:
        shade = &m_view.shades.topLevelEven;
        break;
    case RowBackground::TopLevelOdd:
        shade = &m_view.shades.topLevelOdd;
        break;
    }
    if (shade && !shade->isEmpty())
        return *shade;
    return {m_view.palette.color(QPalette::Base)};
}

RowFill RowPresenter::background(const TTaskInfo &info, const RowPlace &place, const RowState &state) const
{
    if (state.editing)
        return {};
    if (state.hot)
        return {RowBackground::Hot, m_view.palette.color(QPalette::ToolTipBase)};
    if (info.backgroundColor != 0)
        return {RowBackground::Stored, StoredColorToQColor(info.backgroundColor, m_view.palette)};
    if (!place.topLevel)
        return {RowBackground::SubTask, {}};
    return {place.position % 2 == 0 ? RowBackground::TopLevelEven : RowBackground::TopLevelOdd, {}};
}

int RowPresenter::height(const TTaskInfo &info, const RowPlace &place, const RowState &state, int textWidth) const
{
    const QFontMetrics metrics(m_view.font);
    const bool oneLine = m_view.listView && !state.expanded && !state.editing;
    const QString shown = oneLine ? QStringLiteral("1") : text(info, place, state);
    const int wrapped = metrics.boundingRect(QRect(0, 0, textWidth, 1 << 20), Qt::TextWordWrap, shown).height() + 4;
    const int line = metrics.boundingRect(QStringLiteral("l")).height();
    if (state.editing)
        return std::min(std::max(wrapped, 4 * line + 4), m_view.viewHeight - line);
    return std::max(wrapped, line + 4);
}

}  // namespace quillpad
