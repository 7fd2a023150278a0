#pragma once
// A .qvx file written as it is made: the XML text goes into the compressed container a
// piece at a time, so no document tree and no whole text are ever held. The bytes are
// those of the template document filled in and saved (two-blank indent, LF line ends,
// attributes escaped as pugixml escapes them).
//
// A file that cannot be opened or written is not reported at once: the caller goes on
// (reading the database raises its own errors first) and learns it from finish(). The
// old file is replaced only when everything was written.

#include "store/DateTime.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace quillpad {

class AtomicFile;
class QvxContainerWriter;

class QvxWriter {
public:
    // The sections of the document, in the order they are written.
    enum class Section { Tasks, Memos };

    explicit QvxWriter(const QString &fileName);
    ~QvxWriter();
    QvxWriter(const QvxWriter &) = delete;
    QvxWriter &operator=(const QvxWriter &) = delete;

    // Opens a section; an earlier one is closed. Sections come in their order.
    void beginSection(Section section);
    // One element of the open section: begin, its attributes in order, end.
    void beginElement(const char *name);
    void attribute(const char *name, const QString &value);
    void attribute(const char *name, const char *latin1, qsizetype size);
    void timeAttribute(const char *name, TDateTime value, int bias);
    void endElement();

    // Ends the document and replaces the file. False when anything could not be written.
    bool finish();

private:
    void text(const char *bytes, qsizetype size);
    template <qsizetype N>
    void text(const char (&bytes)[N])
    {
        text(bytes, N - 1);
    }
    void escaped(const char *bytes, qsizetype size);
    void closeSection();
    void flush();

    std::unique_ptr<AtomicFile> m_file;
    std::unique_ptr<QvxContainerWriter> m_container;
    bool m_failed = false;
    QByteArray m_buffer;
    QByteArray m_utf8;
    int m_nextSection = 0;  // of all four, the first not yet opened
    bool m_sectionOpen = false;
    bool m_sectionHasElements = false;
};

}  // namespace quillpad
