#include "components/QvVersionInfo.h"

#include "store/AppError.h"
#include "components/VersionValues.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace quillpad {

const char *const TQvVersionInfo::Keys[ValueCount] = {
    "CompanyName",   "FileDescription",  "FileVersion", "InternalName",   "LegalCopyright",
    "LegalTrademarks", "OriginalFilename", "ProductName", "ProductVersion", "Comments",
};

namespace {

bool IsOwnFile(const QString &path)
{
    const QString own = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    return !own.isEmpty() && QFileInfo(path).canonicalFilePath() == own;
}

}  // namespace

TQvVersionInfo::TQvVersionInfo()
{
    ReadVersionInfo();
}

void TQvVersionInfo::SetFilePath(const QString &path)
{
    if (path == m_filePath)
        return;
    m_filePath = path;
    ReadVersionInfo();
}

void TQvVersionInfo::ReadVersionInfo()
{
    if (m_filePath.isEmpty())
        m_filePath = QCoreApplication::applicationFilePath();
    m_available = m_filePath.isEmpty() || IsOwnFile(m_filePath);
    if (m_available) {
        m_values = {
            QStringLiteral(QUILLPAD_COMPANY_NAME),     QStringLiteral(QUILLPAD_FILE_DESCRIPTION),
            QStringLiteral(QUILLPAD_FILE_VERSION),     QStringLiteral(QUILLPAD_INTERNAL_NAME),
            QStringLiteral(QUILLPAD_LEGAL_COPYRIGHT),  QStringLiteral(QUILLPAD_LEGAL_TRADEMARKS),
            QStringLiteral(QUILLPAD_ORIGINAL_FILENAME), QStringLiteral(QUILLPAD_PRODUCT_NAME),
            QStringLiteral(QUILLPAD_PRODUCT_VERSION),  QStringLiteral(QUILLPAD_COMMENTS),
        };
    } else {
        m_values.clear();
        for (int i = 0; i < ValueCount; ++i)
            m_values.append(QStringLiteral("Value Not Available"));
    }
}

QString TQvVersionInfo::GetValue(int index) const
{
    if (index < 0 || index >= m_values.size())
        throw AppError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return m_values.at(index);
}

}  // namespace quillpad
