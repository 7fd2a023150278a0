#pragma once
// Txmltry: one XML document addressed with one-line comma paths such as
// "ambrel,tasks,task#3", read from and written to .qvx files.
//
// Path rules: the first step stands for the document element whatever its text; a step
// with "#" picks the child at the position after the "#" (the text before it is
// ignored); any other step picks the first child of exactly that name. A step that
// matches nothing leaves the walk where it was; the effect shows when an attribute is
// looked up there. Whitespace-only text between elements is not kept, so positions
// count elements.
//
// Nodes handed out by NodeAt live as long as the Txmltry. Callers add elements with
// pugixml's append_child on such a node; appending keeps every position valid.

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <pugixml.hpp>

#include <memory>

namespace quillpad {

class Txmltry {
public:
    Txmltry();
    ~Txmltry();
    Txmltry(const Txmltry &) = delete;
    Txmltry &operator=(const Txmltry &) = delete;

    // Parses the text as the new document. Raises AppError when it does not parse.
    void LoadXmlText(const QString &text);
    // Reads a .qvx file (compressed) or a plain XML file into the document. Raises
    // AppError on any failure; the document held before stays as it was.
    void LoadDocument(const QString &fileName, bool compressed);
    // Writes the document as a .qvx file (compressed) or as plain XML, through a
    // temporary file that replaces the old one only when all is written. Raises AppError.
    void SaveDocument(const QString &fileName, bool compressed) const;

    // Raises AppError when the text after a "#" is not an integer.
    pugi::xml_node NodeAt(const QString &path);
    int CountChildren(const QString &path);
    // An absent attribute shows "<path>: <name> not Exist !" with ErrorBox and reads as
    // empty text; an empty one reads as empty text without a report.
    QString ReadAttr(const QString &path, const QString &name);
    // Sets an attribute the node already has; an absent one is reported as in ReadAttr,
    // nothing is added and the result is false.
    bool WriteAttr(const QString &path, const QString &name, const QString &value);

    static int StepCount(QStringView text);
    // The report of an attribute the element at the path lacks, and its text.
    static void ReportAbsent(const QString &path, const QString &name);
    static QString AbsentText(const QString &path, const QString &name);

private:
    // The last position reached. Readers walk "task#0", "task#1", ... each a dozen
    // times; starting from here keeps that linear instead of quadratic.
    struct Cursor {
        pugi::xml_node parent;
        int index = 0;
        pugi::xml_node child;
    };

    void Parse(QByteArray text);
    pugi::xml_node Walk(const QString &path);
    pugi::xml_node ApplyStep(pugi::xml_node current, QStringView step);
    pugi::xml_node ChildAt(pugi::xml_node parent, int position);

    std::unique_ptr<pugi::xml_document> m_document;
    QByteArray m_source;  // the parsed text; the document points into it
    Cursor m_cursor;
};

}  // namespace quillpad
