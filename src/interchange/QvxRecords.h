#pragma once
// The records of a .qvx file as rows: which attribute feeds which column, how each value
// is decoded, and the reader that takes a record's attributes one by one.

#include "interchange/QvxStream.h"
#include "store/Query.h"
#include "store/TaskStore.h"

#include <QHash>
#include <QString>

#include <array>
#include <vector>

namespace quillpad {

enum class Codec { Text, Content, Boolean, Integer, Time };

struct Column {
    const char *attribute;
    const char *name;
    Codec codec;
};

struct RecordKind {
    QString section;  // the element whose children are the records
    QString step;     // the path step before the position
    TaskStore::Table table;
    const char *id;   // the id column, also the id attribute
    QString kind;     // as the replace question names it
    const std::vector<Column> &columns;  // after the id, in writing order; "pid" first

    QString path(int i) const { return section + step + QString::number(i); }
};

extern const RecordKind MemoRecords;
extern const RecordKind TaskRecords;

// One record of the file, read from its own attributes. Each attribute is read once, so
// a missing one is reported once even when the question and the row both want it; the
// report names the record by its path in the file. The report is shown at once, as the
// reading goes on with an empty value, unless `held` takes it to be shown later (or not
// at all): a reading off the main thread, or one that is done again.
class RecordReader {
public:
    RecordReader(const QvxAttributes &attributes, const RecordKind &kind, int position,
                 std::vector<QString> *held = nullptr)
        : m_attributes(attributes), m_kind(kind), m_position(position), m_held(held)
    {
    }

    const QString &text(const char *name);
    // The attribute's bytes as the file gives them, none when it is absent: for values
    // in a plain form, read without making a text of them. Reports nothing.
    const QByteArrayView *bytes(const char *name) const;

private:
    static constexpr int Capacity = 16;  // more than any record has
    const QvxAttributes &m_attributes;
    const RecordKind &m_kind;
    int m_position;
    std::vector<QString> *m_held;
    std::array<const char *, Capacity> m_names{};
    std::array<QString, Capacity> m_values;
    int m_count = 0;
};

// The ids an import gives its records. A top-level record's id, or one named as a parent
// before its record came, maps to one new id; a sub-record gets an id of its own. Old ids
// are compared exactly, as they are stored.
class NewIds {
public:
    struct Ids {
        QString id, pid;
    };
    // The record's new id and its parent's: "pid" is read first, then a top-level
    // record's own id.
    Ids of(RecordReader &record, const RecordKind &kind);

private:
    QHash<QString, QString> m_topLevel;  // old id -> new id
};

// An imported file may come from elsewhere: its texts' line breaks are made CR LF.
enum class Breaks { AsRead, CrLf };

// The value a column takes from the record; conversion errors name the column.
Query::Value DecodeValue(const Column &column, RecordReader &record, int bias, Breaks breaks);

}  // namespace quillpad
