#include "store/DateText.h"

#include <QLocale>
#include <QRegularExpression>

namespace quillpad {

QString ShortDateFormat()
{
    return QLocale::system().dateFormat(QLocale::ShortFormat);
}

QString LongTimeFormat()
{
    // The locale's long format may name the zone ("t"); shown times are local and bare.
    static const QString format = [] {
        QString text = QLocale::system().timeFormat(QLocale::LongFormat);
        text.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
        return text.trimmed();
    }();
    return format;
}

QString ShortDateText(TDateTime value)
{
    return QLocale::system().toString(DateOf(value), QLocale::ShortFormat);
}

QString DateTimeText(TDateTime value)
{
    const QTime time = TimeOf(value);
    if (time == QTime(0, 0))
        return ShortDateText(value);
    return ShortDateText(value) + QLatin1Char(' ') + QLocale::system().toString(time, LongTimeFormat());
}

}  // namespace quillpad
