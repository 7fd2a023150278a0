#include "app/settings/IniFile.h"

#include "store/AppError.h"
#include "store/AtomicFile.h"
#include "store/pU_Funcs.h"

#include <QFile>

namespace quillpad {

namespace {

bool IsSectionHeader(const QString &trimmed)
{
    return trimmed.startsWith(QLatin1Char('['));
}

QString SectionName(const QString &trimmed)
{
    const int close = trimmed.indexOf(QLatin1Char(']'));
    return (close < 0 ? trimmed.mid(1) : trimmed.mid(1, close - 1)).trimmed();
}

// The key of a "key=value" line, or a null string for any other line.
QString KeyName(const QString &line)
{
    const int equals = line.indexOf(QLatin1Char('='));
    if (equals < 0)
        return {};
    return line.left(equals).trimmed();
}

QString Unquote(QString value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            value = value.mid(1, value.size() - 2);
    }
    return value;
}

}  // namespace

bool ParseIniInteger(const QString &text, int &value)
{
    bool ok = false;
    if (text.size() > 2 && text.at(0) == QLatin1Char('0') &&
        (text.at(1) == QLatin1Char('x') || text.at(1) == QLatin1Char('X'))) {
        const QString digits = text.mid(2);
        // Up to eight hex digits, taken as a 32-bit pattern: 0xFFFFFFFF is -1.
        if (digits.size() > 8 || digits.startsWith(QLatin1Char('+')) || digits.startsWith(QLatin1Char('-')))
            return false;
        const quint32 bits = digits.toUInt(&ok, 16);
        if (ok)
            value = static_cast<qint32>(bits);
        return ok;
    }
    const int number = text.toInt(&ok, 10);
    if (ok)
        value = number;
    return ok;
}

IniFile::IniFile(QString path) : m_path(std::move(path))
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;  // missing or unreadable: every key takes its default
    const QByteArray bytes = file.readAll();
    if (bytes.contains("\r\n"))
        m_newline = "\r\n";
    // Lines stay as the bytes they were (a CR before the LF too): a write changes one
    // line and every other byte stays, even one that is not UTF-8.
    m_lines = bytes.split('\n');
    m_finalBreak = bytes.isEmpty() || bytes.endsWith('\n');
    if (m_finalBreak)
        m_lines.removeLast();  // the empty piece after the final line break
}

QString IniFile::lineText(qsizetype i) const
{
    QString line = QString::fromUtf8(m_lines.at(i));
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line;
}

IniFile::Found IniFile::find(const QString &section, const QString &key) const
{
    Found found;
    bool inSection = false;
    for (int i = 0; i < m_lines.size(); ++i) {
        const QString line = lineText(i);
        const QString trimmed = line.trimmed();
        if (IsSectionHeader(trimmed)) {
            if (inSection)
                break;  // the first section of that name is the one that counts
            inSection = SectionName(trimmed).compare(section, Qt::CaseInsensitive) == 0;
            if (inSection)
                found.sectionLine = found.lastEntryLine = i;
            continue;
        }
        if (!inSection)
            continue;
        if (!trimmed.isEmpty())
            found.lastEntryLine = i;
        if (found.keyLine < 0 && KeyName(line).compare(key, Qt::CaseInsensitive) == 0 && !KeyName(line).isNull())
            found.keyLine = i;
    }
    return found;
}

bool IniFile::keyExists(const QString &section, const QString &key) const
{
    return find(section, key).keyLine >= 0;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const Found found = find(section, key);
    if (found.keyLine < 0)
        return defaultValue;
    const QString line = lineText(found.keyLine);
    const QString value = Unquote(line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed());
    return value.left(MaxValueLength);
}

int IniFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    int value = defaultValue;
    if (!ParseIniInteger(readString(section, key), value))
        return defaultValue;
    return value;
}

bool IniFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    // One line each, so a write can never add keys or sections of its own.
    const QByteArray entry = (OneLine(key) + QLatin1Char('=') + OneLine(value)).toUtf8();
    const QByteArray lineEnd = m_newline == "\r\n" ? QByteArray("\r") : QByteArray();
    const Found found = find(section, key);
    if (found.keyLine >= 0) {
        // The line keeps its own ending.
        m_lines[found.keyLine] = entry + (m_lines.at(found.keyLine).endsWith('\r') ? QByteArray("\r") : QByteArray());
    } else if (found.sectionLine >= 0) {
        if (found.lastEntryLine + 1 == m_lines.size())
            m_finalBreak = true;  // the last line gets its break before the new one
        m_lines.insert(found.lastEntryLine + 1, entry + lineEnd);
    } else {
        if (!m_lines.isEmpty() && !lineText(m_lines.size() - 1).trimmed().isEmpty())
            m_lines.append(lineEnd);
        m_lines.append('[' + OneLine(section).toUtf8() + ']' + lineEnd);
        m_lines.append(entry + lineEnd);
        m_finalBreak = true;
    }
    save();
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::save() const
{
    QByteArray bytes = m_lines.join('\n');
    if (m_finalBreak)
        bytes += '\n';
    if (!AtomicFile::writeWhole(m_path, bytes))
        throw AppError(QStringLiteral("Unable to write to %1").arg(m_path));
}

}  // namespace quillpad
