#include "store/pU_Funcs.h"

#include "store/AppError.h"
#include "store/Clock.h"
#include "store/Prompter.h"
#include "store/Query.h"

#include <QRandomGenerator>

#include <array>
#include <random>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace quillpad {

namespace {

PromptButton ShowBox(const QString &caption, const QString &text, QList<PromptButton> buttons)
{
    PromptMessage box;
    box.caption = caption;
    box.text = text;
    box.icon = PromptIcon::None;
    box.buttons = std::move(buttons);
    return Prompter::instance().message(box);
}

}  // namespace

int AskBox(const QString &text)
{
    const PromptButton answer = ShowBox(QStringLiteral("Ask"), text, {PromptButton::Ok, PromptButton::Cancel});
    return answer == PromptButton::Ok ? 1 : 2;
}

void ErrorBox(const QString &text)
{
    ShowBox(QStringLiteral("Error"), text, {PromptButton::Ok});
}

void WarningBox(const QString &text)
{
    ShowBox(QStringLiteral("Warning"), text, {PromptButton::Ok});
}

void TipBox(const QString &text)
{
    ShowBox(QStringLiteral("Tip"), text, {PromptButton::Ok});
}

void OpenSql(Query &query, const QString &sql)
{
    query.close();
    query.setSql(sql);
    query.open();
}

void ExecSql(Query &query, const QString &sql)
{
    query.close();
    query.setSql(sql);
    query.execute();
}

QString QuoteSql(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString OneLine(const QString &text)
{
    QString flat = text;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    flat.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return flat;
}

namespace {

// The length of the XML character at i: 1, 2 for a surrogate pair, 0 when XML cannot hold it.
qsizetype XmlCharacterLength(const QString &text, qsizetype i)
{
    const char16_t c = text.at(i).unicode();
    if (c < 0x20)
        return c == u'\t' || c == u'\n' || c == u'\r' ? 1 : 0;
    if (c == 0xFFFE || c == 0xFFFF)
        return 0;
    if (QChar::isHighSurrogate(c))
        return i + 1 < text.size() && text.at(i + 1).isLowSurrogate() ? 2 : 0;
    return QChar::isLowSurrogate(c) ? 0 : 1;
}

}  // namespace

QString KeepXmlCharacters(const QString &text)
{
    // Everything from a blank up to the surrogates is a character XML holds: only the
    // rest is looked at closely.
    const char16_t *units = QStringView(text).utf16();
    qsizetype i = 0;
    for (qsizetype length = 1; i < text.size() && length > 0; i += length) {
        while (i < text.size() && units[i] >= 0x20 && units[i] < 0xD800)
            ++i;
        if (i == text.size() || (length = XmlCharacterLength(text, i)) == 0)
            break;
    }
    if (i == text.size())
        return text;  // the common case: nothing to drop, nothing copied
    QString kept = text.left(i);
    while (i < text.size()) {
        const qsizetype length = XmlCharacterLength(text, i);
        if (length > 0)
            kept += QStringView(text).mid(i, length);
        i += length > 0 ? length : 1;
    }
    return kept;
}

int LocalBias()
{
    // The zone may have changed under us (TZ, a new system zone): ask libc afresh.
    tzset();
    const std::time_t now = Clock::now().toSecsSinceEpoch();
    std::tm local{};
    if (!localtime_r(&now, &local))
        return 0;
    return static_cast<int>(-local.tm_gmtoff / 60);
}

QString IsoTime(TDateTime value)
{
    return IsoTime(value, LocalBias());
}

QString IsoTime(TDateTime value, int bias)
{
    // The clock value as stored, without a detour through the local zone's rules.
    const QDate date = DateOf(value);
    const QTime time = TimeOf(value);
    char text[48];
    int length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.000", date.year(), date.month(),
                               date.day(), time.hour(), time.minute(), time.second());
    if (bias == 0) {
        text[length++] = 'Z';
    } else {
        const int magnitude = bias < 0 ? -bias : bias;
        length += std::snprintf(text + length, sizeof text - length, "%c%02d:%02d", bias < 0 ? '+' : '-',
                                magnitude / 60, magnitude % 60);
    }
    return QString::fromLatin1(text, length);
}

TDateTime IsoToDateTime(const QString &text)
{
    return IsoToDateTime(text, LocalBias());
}

namespace {

struct IsoParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    QStringView fraction;  // the digits after the point, if any
    QStringView zone;      // "Z", "+hh:mm", "-hh:mm" or nothing
};

// Splits "YYYY-MM-DDThh:mm:ss[.digits][Z|+hh:mm|-hh:mm]", blanks allowed around it, into
// its parts (a year of more than four digits too). False for anything else. By hand,
// not with a pattern: readers call this for every time of every record.
bool ScanIsoText(QStringView text, IsoParts &parts)
{
    text = text.trimmed();
    qsizetype at = 0;
    const auto isDigit = [&text](qsizetype i) { return i < text.size() && text[i] >= u'0' && text[i] <= u'9'; };
    const auto number = [&](qsizetype count, int &value) {
        value = 0;
        for (qsizetype end = at + count; at < end; ++at) {
            if (!isDigit(at))
                return false;
            value = value * 10 + (text[at].unicode() - u'0');
        }
        return true;
    };
    const auto literal = [&](char16_t c) {
        if (at >= text.size() || text[at] != c)
            return false;
        ++at;
        return true;
    };

    while (isDigit(at))
        ++at;
    if (at < 4)
        return false;
    bool ok = false;
    parts.year = text.left(at).toInt(&ok);
    if (!ok)
        parts.year = 0;  // too large: no such date
    if (!(literal(u'-') && number(2, parts.month) && literal(u'-') && number(2, parts.day) && literal(u'T') &&
          number(2, parts.hour) && literal(u':') && number(2, parts.minute) && literal(u':') &&
          number(2, parts.second)))
        return false;
    if (literal(u'.')) {
        const qsizetype start = at;
        while (isDigit(at))
            ++at;
        if (at == start)
            return false;
        parts.fraction = text.mid(start, at - start);
    }
    if (at < text.size()) {
        const qsizetype start = at;
        int zoneHours = 0, zoneMinutes = 0;
        if (!literal(u'Z') && !((literal(u'+') || literal(u'-')) && number(2, zoneHours) && literal(u':') &&
                                number(2, zoneMinutes)))
            return false;
        parts.zone = text.mid(start, at - start);
    }
    return at == text.size();
}

}  // namespace

TDateTime IsoToDateTime(const QString &text, int bias)
{
    const auto invalid = [&text]() {
        return AppError(QStringLiteral("'%1' is not a valid date and time").arg(text));
    };
    IsoParts parts;
    if (!ScanIsoText(text, parts))
        throw invalid();

    const int year = parts.year;
    const int month = parts.month;
    const int day = parts.day;
    const int hour = parts.hour;
    const int minute = parts.minute;
    const int second = parts.second;
    // Milliseconds from the fraction, rounded; more digits than that are precision we drop.
    const QStringView fraction = parts.fraction;
    const int millisecond =
        fraction.isEmpty()
            ? 0
            : static_cast<int>(std::lround((fraction.left(4).toString() + QStringLiteral("0000")).left(4).toInt() / 10.0));

    if (year < FirstDate().year() || year > LastDate().year())
        throw AppError(QStringLiteral("'%1' is outside the years %2 to %3")
                           .arg(text, QString::number(FirstDate().year()), QString::number(LastDate().year())));
    const QDate date(year, month, day);
    // 24:00:00 is the end of the day in XML Schema; nothing else past 23:59:59.
    const bool endOfDay = hour == 24 && minute == 0 && second == 0 && millisecond == 0;
    if (!date.isValid() || (!endOfDay && (hour > 23 || minute > 59 || second > 59)))
        throw invalid();

    qint64 ms = DateTimeToMs(EncodeDateTime(date)) +
                (((static_cast<qint64>(hour) * 60 + minute) * 60 + second) * 1000) + millisecond;

    const QStringView zone = parts.zone;
    if (!zone.isEmpty()) {
        int offsetMinutes = 0;  // positive east of UTC
        if (zone != u"Z") {
            const int zoneHours = zone.mid(1, 2).toInt();
            const int zoneMinutes = zone.mid(4, 2).toInt();
            if (zoneHours > 14 || zoneMinutes > 59)
                throw invalid();
            offsetMinutes = (zoneHours * 60 + zoneMinutes) * (zone.front() == u'-' ? -1 : 1);
        }
        ms -= (static_cast<qint64>(offsetMinutes) + bias) * 60'000;
    }
    // Another zone's first or last hours of the range fall just outside it here: they
    // are kept as its nearest end rather than lost.
    return MsToDateTime(std::clamp(ms, FirstDateTimeMs, LastDateTimeMs));
}

QString NewGuid()
{
    // One generator per thread, seeded once from the system's randomness: an import
    // makes a hundred thousand ids, and asking the system for each costs more than
    // storing the row.
    thread_local std::mt19937_64 generator = [] {
        std::array<quint32, 8> seed;
        QRandomGenerator::system()->fillRange(seed.data(), seed.size());
        std::seed_seq sequence(seed.begin(), seed.end());
        return std::mt19937_64(sequence);
    }();
    const quint64 high = (generator() & ~quint64(0xF000)) | 0x4000;                          // version 4
    const quint64 low = (generator() & ~(quint64(0xC) << 60)) | (quint64(0x8) << 60);      // RFC 4122 variant
    static const char hex[] = "0123456789ABCDEF";
    char16_t text[38];
    int at = 0;
    const auto put = [&](quint64 bits, int from, int count) {
        for (int i = 0; i < count; ++i)
            text[at++] = char16_t(hex[(bits >> (4 * (from - i))) & 0xF]);
    };
    text[at++] = u'{';
    put(high, 15, 8);
    text[at++] = u'-';
    put(high, 7, 4);
    text[at++] = u'-';
    put(high, 3, 4);
    text[at++] = u'-';
    put(low, 15, 4);
    text[at++] = u'-';
    put(low, 11, 12);
    text[at++] = u'}';
    return QString(reinterpret_cast<const QChar *>(text), at);
}

QString Counted(qsizetype count, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

}  // namespace quillpad
