#include "interchange/pU_XmlTry.h"

#include "store/AppError.h"
#include "store/AtomicFile.h"
#include "interchange/QvxContainer.h"
#include "store/pU_Funcs.h"

#include <QFile>

#include <cstring>
#include <new>

namespace quillpad {

namespace {

// Default parsing: no comments, no processing instructions, no DOCTYPE kept, no
// whitespace-only text; entities other than the five predefined ones and character
// references are left as written, and nothing outside the text is ever fetched.
constexpr unsigned ParseOptions = pugi::parse_default;

class ByteArrayWriter final : public pugi::xml_writer {
public:
    explicit ByteArrayWriter(QByteArray &target) : m_target(target) {}
    void write(const void *data, size_t size) override
    {
        m_target.append(static_cast<const char *>(data), static_cast<qsizetype>(size));
    }

private:
    QByteArray &m_target;
};

// The DOM names of nodes that are not elements, so a step can only match an element
// of that name or, for "#text" and the like, the node kind itself.
const char *NodeName(const pugi::xml_node &node)
{
    switch (node.type()) {
    case pugi::node_pcdata:
        return "#text";
    case pugi::node_cdata:
        return "#cdata-section";
    case pugi::node_comment:
        return "#comment";
    default:
        return node.name();
    }
}

}  // namespace

Txmltry::Txmltry() : m_document(std::make_unique<pugi::xml_document>()) {}

Txmltry::~Txmltry() = default;

void Txmltry::LoadXmlText(const QString &text)
{
    Parse(text.toUtf8());
}

void Txmltry::LoadDocument(const QString &fileName, bool compressed)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot open file \"%1\": %2").arg(fileName, file.errorString()));
    QByteArray text;
    if (compressed) {
        text = ReadQvxContainer(file);
    } else {
        text = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw AppError(QStringLiteral("Cannot read file \"%1\": %2").arg(fileName, file.errorString()));
    }
    Parse(std::move(text));
}

void Txmltry::SaveDocument(const QString &fileName, bool compressed) const
{
    QByteArray text;
    ByteArrayWriter writer(text);
    m_document->save(writer, "  ", pugi::format_default, pugi::encoding_utf8);

    AtomicFile file(fileName);
    if (!file.open())
        throw AppError(QStringLiteral("Cannot create file \"%1\": %2").arg(fileName, file.errorString()));
    if (compressed) {
        WriteQvxContainer(file, text);
    } else if (file.write(text) != text.size()) {
        throw AppError(QStringLiteral("Cannot write file \"%1\": %2").arg(fileName, file.errorString()));
    }
    if (!file.commit())
        throw AppError(QStringLiteral("Cannot write file \"%1\": %2").arg(fileName, file.errorString()));
}

void Txmltry::Parse(QByteArray text)
{
    if (text.isEmpty())
        throw AppError(QStringLiteral("The XML does not parse: the text is empty"));
    auto document = std::make_unique<pugi::xml_document>();
    // Parsed in place: the document keeps pointing into the text, which we keep.
    const pugi::xml_parse_result result = document->load_buffer_inplace(
        text.data(), static_cast<size_t>(text.size()), ParseOptions, pugi::encoding_utf8);
    if (!result)
        throw AppError(QStringLiteral("The XML does not parse: %1 at byte %2")
                           .arg(QString::fromUtf8(result.description()))
                           .arg(result.offset));
    m_cursor = {};
    m_document = std::move(document);
    m_source = std::move(text);
}

pugi::xml_node Txmltry::NodeAt(const QString &path)
{
    const pugi::xml_node node = Walk(path);
    // The caller may change the tree through this node; positions are found afresh.
    m_cursor = {};
    return node;
}

int Txmltry::CountChildren(const QString &path)
{
    const pugi::xml_node node = Walk(path);
    int count = 0;
    for (auto child = node.first_child(); child; child = child.next_sibling())
        ++count;
    return count;
}

QString Txmltry::ReadAttr(const QString &path, const QString &name)
{
    const pugi::xml_attribute attribute = Walk(path).attribute(name.toUtf8().constData());
    if (!attribute) {
        ReportAbsent(path, name);
        return QString();
    }
    // A character reference may bring in what no XML document may hold: it goes.
    return KeepXmlCharacters(QString::fromUtf8(attribute.value()));
}

bool Txmltry::WriteAttr(const QString &path, const QString &name, const QString &value)
{
    pugi::xml_attribute attribute = Walk(path).attribute(name.toUtf8().constData());
    if (!attribute) {
        ReportAbsent(path, name);
        return false;
    }
    const QByteArray text = value.toUtf8();
    if (!attribute.set_value(text.constData(), static_cast<size_t>(text.size())))
        throw std::bad_alloc();
    return true;
}

int Txmltry::StepCount(QStringView text)
{
    return static_cast<int>(text.count(QLatin1Char(',')));
}

pugi::xml_node Txmltry::Walk(const QString &path)
{
    pugi::xml_node current = m_document->document_element();
    const int steps = StepCount(path);
    QStringView rest(path);
    rest = rest.mid(rest.indexOf(QLatin1Char(',')) + 1);
    for (int i = 1; i <= steps; ++i) {
        QStringView step = rest;
        if (i < steps) {
            const qsizetype comma = rest.indexOf(QLatin1Char(','));
            step = rest.left(comma);
            rest = rest.mid(comma + 1);
        }
        if (const pugi::xml_node next = ApplyStep(current, step))
            current = next;
    }
    return current;
}

pugi::xml_node Txmltry::ApplyStep(pugi::xml_node current, QStringView step)
{
    const qsizetype hash = step.indexOf(QLatin1Char('#'));
    if (hash >= 0) {
        const QStringView number = step.mid(hash + 1);
        bool ok = false;
        const int position = number.toInt(&ok);
        if (!ok)
            throw AppError(QStringLiteral("'%1' is not a valid integer value").arg(number));
        return ChildAt(current, position);
    }
    const QByteArray name = step.toUtf8();
    for (auto child = current.first_child(); child; child = child.next_sibling()) {
        if (std::strcmp(NodeName(child), name.constData()) == 0)
            return child;
    }
    return {};
}

pugi::xml_node Txmltry::ChildAt(pugi::xml_node parent, int position)
{
    if (position < 0 || !parent)
        return {};
    pugi::xml_node node = parent.first_child();
    int at = 0;
    // From the last position under the same parent when that is nearer than the start.
    if (m_cursor.parent == parent && m_cursor.child && (position >= m_cursor.index || position > m_cursor.index - position)) {
        node = m_cursor.child;
        at = m_cursor.index;
    }
    while (node && at < position) {
        node = node.next_sibling();
        ++at;
    }
    while (node && at > position) {
        node = node.previous_sibling();
        --at;
    }
    if (node)
        m_cursor = {parent, position, node};
    return node;
}

QString Txmltry::AbsentText(const QString &path, const QString &name)
{
    return path + QStringLiteral(": ") + name + QStringLiteral(" not Exist !");
}

void Txmltry::ReportAbsent(const QString &path, const QString &name)
{
    ErrorBox(AbsentText(path, name));
}

}  // namespace quillpad
