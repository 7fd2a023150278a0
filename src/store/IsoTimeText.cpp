#include "store/IsoTimeText.h"

#include "store/pU_Funcs.h"

#include <algorithm>
#include <cstring>

namespace quillpad {

namespace {

constexpr qint64 EpochToUnixDays = 25569;  // 1899-12-30 to 1970-01-01

// Days since 1970-01-01 as a proleptic Gregorian date (the calendar QDate uses).
void CivilFromDays(qint64 z, qint64 &year, int &month, int &day)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = yoe + era * 400 + (month <= 2 ? 1 : 0);
}

char *Digits(char *out, int value, int count)
{
    for (int i = count - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + count;
}

}  // namespace

int WriteIsoTime(char *out, TDateTime value, int bias)
{
    const qint64 ms = DateTimeToMs(value);
    qint64 days = ms / MsPerDay;
    qint64 timeMs = ms % MsPerDay;
    if (timeMs < 0) {
        --days;
        timeMs += MsPerDay;
    }
    qint64 year = 0;
    int month = 0, day = 0;
    CivilFromDays(days - EpochToUnixDays, year, month, day);
    const int magnitude = bias < 0 ? -bias : bias;
    if (year < 1 || year > 9999 || magnitude >= 100 * 60) {
        // Outside the four-digit years and two-digit offsets the common form has.
        const QByteArray text = IsoTime(value, bias).toLatin1();
        const int length = static_cast<int>(std::min<qsizetype>(text.size(), IsoTimeCapacity));
        std::memcpy(out, text.constData(), static_cast<size_t>(length));
        return length;
    }
    const int seconds = static_cast<int>(timeMs / 1000);
    char *at = Digits(out, static_cast<int>(year), 4);
    *at++ = '-';
    at = Digits(at, month, 2);
    *at++ = '-';
    at = Digits(at, day, 2);
    *at++ = 'T';
    at = Digits(at, seconds / 3600, 2);
    *at++ = ':';
    at = Digits(at, seconds / 60 % 60, 2);
    *at++ = ':';
    at = Digits(at, seconds % 60, 2);
    std::memcpy(at, ".000", 4);
    at += 4;
    if (bias == 0) {
        *at++ = 'Z';
    } else {
        *at++ = bias < 0 ? '+' : '-';
        at = Digits(at, magnitude / 60, 2);
        *at++ = ':';
        at = Digits(at, magnitude % 60, 2);
    }
    return static_cast<int>(at - out);
}

}  // namespace quillpad
