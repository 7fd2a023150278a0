#pragma once
// A .qvx file read a record at a time as it is inflated, without a document tree: the
// form every writer of these files makes (a declaration, elements with attributes,
// blanks between them, the predefined entities and character references). A file
// outside that form, or one that is not well formed, is left to the document reader,
// which takes or refuses it as it always has; so is one without its sections.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace quillpad {

// An element's attributes, names and values in UTF-8 (entities resolved, blanks as the
// document reader makes them), in order.
using QvxAttributes = std::vector<std::pair<QByteArrayView, QByteArrayView>>;

class QvxStream {
public:
    // A whole record, kept from the first reading.
    struct Record {
        std::vector<std::pair<QByteArray, QByteArray>> attributes;
        QvxAttributes view() const;
    };
    struct Survey {
        bool inForm = false;           // false: read the file as a document
        std::optional<QByteArray> app;  // the root's "app", none when it has none
        std::vector<Record> memos;      // the elements of the memos section
    };
    using Visit = std::function<bool(const QvxAttributes &attributes, int position)>;
    // What a reading hands on as it goes: the root's "app" (none when it has none) before
    // anything else, then each element of the tasks section with its position. Both may
    // raise to end the reading.
    struct Handlers {
        std::function<void(const std::optional<QByteArray> &app)> root;
        std::function<void(const QvxAttributes &attributes, int position)> task;
        std::function<void()> piece;  // after each piece of the file, read or not
    };

    // Reads the whole file once. The container is checked as ReadQvxContainer checks
    // it, with the same errors. Whether the file was in the form is known only at the
    // end: what the handlers were given before counts only when inForm is true.
    static Survey survey(const QString &fileName, const Handlers &handlers = {});
    // Reads the file again and hands each element of the tasks section, with its
    // position, to visit, until it answers false. Raises AppError when the file no
    // longer reads as it did.
    static void forEachTask(const QString &fileName, const Visit &visit);
};

}  // namespace quillpad
