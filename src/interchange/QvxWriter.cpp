#include "interchange/QvxWriter.h"

#include "components/QvVersionInfo.h"
#include "interchange/QvxContainer.h"
#include "interchange/QvxDocument.h"
#include "store/AppError.h"
#include "store/AtomicFile.h"
#include "store/Clock.h"
#include "store/IsoTimeText.h"
#include "store/pU_Funcs.h"

#include <cstring>

namespace quillpad {

namespace {

constexpr qsizetype Chunk = 64 * 1024;
// Every section of the template, in its order; the last two stay empty.
constexpr const char *SectionNames[] = {"tasks", "memos", "notes", "peers"};
constexpr int SectionCount = 4;

}  // namespace

QvxWriter::QvxWriter(const QString &fileName) : m_file(std::make_unique<AtomicFile>(fileName))
{
    m_buffer.reserve(Chunk + 4096);
    try {
        if (!m_file->open())
            throw AppError(m_file->errorString());
        m_container = std::make_unique<QvxContainerWriter>(*m_file);
    } catch (const AppError &) {
        m_failed = true;
    }
    text("<?xml version=\"1.0\"?>\n<ambrel");
    attribute("app", Qvx::AppName);
    attribute("appversion", TQvVersionInfo().GetValue(TQvVersionInfo::FileVersion));
    attribute("dataversion", "1.1", 3);
    attribute("time", IsoTime(Clock::nowDateTime()));
    text(">\n");
}

QvxWriter::~QvxWriter() = default;

void QvxWriter::beginSection(Section section)
{
    const int wanted = static_cast<int>(section);
    while (m_nextSection <= wanted) {
        closeSection();
        text("  <");
        text(SectionNames[m_nextSection], qsizetype(std::strlen(SectionNames[m_nextSection])));
        ++m_nextSection;
        m_sectionOpen = true;
        m_sectionHasElements = false;
    }
}

void QvxWriter::closeSection()
{
    if (!m_sectionOpen)
        return;
    if (m_sectionHasElements) {
        text("  </");
        text(SectionNames[m_nextSection - 1], qsizetype(std::strlen(SectionNames[m_nextSection - 1])));
        text(">\n");
    } else {
        text(" />\n");
    }
    m_sectionOpen = false;
}

void QvxWriter::beginElement(const char *name)
{
    if (m_sectionHasElements)
        text("    <");
    else
        text(">\n    <");
    m_sectionHasElements = true;
    text(name, qsizetype(std::strlen(name)));
}

void QvxWriter::attribute(const char *name, const QString &value)
{
    m_utf8 = KeepXmlCharacters(value).toUtf8();  // rows stored before the rule may hold what XML cannot
    attribute(name, m_utf8.constData(), m_utf8.size());
}

void QvxWriter::attribute(const char *name, const char *latin1, qsizetype size)
{
    text(" ");
    text(name, qsizetype(std::strlen(name)));
    text("=\"");
    escaped(latin1, size);
    text("\"");
}

void QvxWriter::timeAttribute(const char *name, TDateTime value, int bias)
{
    char time[IsoTimeCapacity];
    attribute(name, time, WriteIsoTime(time, value, bias));
}

void QvxWriter::endElement()
{
    text(" />\n");
}

bool QvxWriter::finish()
{
    while (m_nextSection < SectionCount)
        beginSection(static_cast<Section>(m_nextSection));
    closeSection();
    text("</ambrel>\n");
    flush();
    if (m_failed)
        return false;
    try {
        m_container->finish();
    } catch (const AppError &) {
        return false;
    }
    return m_file->commit();
}

void QvxWriter::text(const char *bytes, qsizetype size)
{
    m_buffer.append(bytes, size);
    if (m_buffer.size() >= Chunk)
        flush();
}

// An attribute value as pugixml writes it: &, < and " as entities, control characters
// as two-digit character references, and nothing after a NUL (its strings end there).
void QvxWriter::escaped(const char *bytes, qsizetype size)
{
    qsizetype plain = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c != '&' && c != '<' && c != '"')
            continue;
        text(bytes + plain, i - plain);
        plain = i + 1;
        switch (c) {
        case 0:
            return;
        case '&':
            text("&amp;");
            break;
        case '<':
            text("&lt;");
            break;
        case '"':
            text("&quot;");
            break;
        default: {
            const char reference[] = {'&', '#', char('0' + c / 10), char('0' + c % 10), ';'};
            text(reference, sizeof reference);
        }
        }
    }
    text(bytes + plain, size - plain);
}

void QvxWriter::flush()
{
    if (!m_failed && !m_buffer.isEmpty()) {
        try {
            m_container->write(m_buffer);
        } catch (const AppError &) {
            m_failed = true;
        }
    }
    m_buffer.clear();
}

}  // namespace quillpad
