#include "components/AutostartEntry.h"

#include "store/AppError.h"
#include "store/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace quillpad {

namespace {

QString ConfigHome()
{
    // A relative value is invalid by the base directory rules and is ignored.
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!configured.isEmpty() && QDir::isAbsolutePath(configured))
        return configured;
    return QDir::homePath() + QStringLiteral("/.config");
}

bool IsHidden(QFile &file)
{
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inEntry && equals > 0 && line.left(equals).trimmed() == QLatin1String("Hidden"))
            return line.mid(equals + 1).trimmed() == QLatin1String("true");
    }
    return false;
}

}  // namespace

AutostartEntry::AutostartEntry() : m_path(ConfigHome() + QStringLiteral("/autostart/ambrel-quillpad.desktop")) {}

AutostartEntry::AutostartEntry(QString path) : m_path(std::move(path)) {}

bool AutostartEntry::isOn() const
{
    QFile file(m_path);
    if (!QFileInfo(m_path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    return !IsHidden(file);
}

void AutostartEntry::setOn(bool on, const QString &executable) const
{
    if (!on) {
        QFile file(m_path);
        if (file.exists() && !file.remove())
            throw AppError(QStringLiteral("Cannot remove %1: %2").arg(QDir::toNativeSeparators(m_path), file.errorString()));
        return;
    }
    if (isOn())
        return;
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder))
        throw AppError(QStringLiteral("Cannot create the folder %1").arg(QDir::toNativeSeparators(folder)));
    const QString entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\nTerminal=false\n")
                              .arg(ApplicationTitle, execValue(executable));
    QString why;
    if (!AtomicFile::writeWhole(m_path, entry.toUtf8(), &why))
        throw AppError(QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(m_path), why));
}

QString AutostartEntry::execValue(const QString &executable)
{
    // Field codes start with %. A path that needs quotes gets them, with the quote, the
    // backquote, the dollar and the backslash escaped inside; then the file's own string
    // escape doubles each backslash.
    QString value = executable;
    value.replace(QLatin1Char('%'), QStringLiteral("%%"));
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool quote = std::any_of(value.begin(), value.end(), [](QChar c) { return reserved.contains(c); });
    if (quote) {
        QString quoted;
        for (const QChar c : value) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        value = QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    value.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    value.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    return value;
}

}  // namespace quillpad
