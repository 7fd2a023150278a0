#pragma once
// Context help on F1: the manual opens in the browser at the topic of the control that
// has the focus, in any window of the program. Shift, Ctrl or Alt with F1 pass through.
//
// A control's help context is its "helpContext" property, else the number its object
// name has in the context table; a control without one takes its parent's, up to its
// window. The topic table turns a context into a page of the manual and an anchor; a
// context of 0, or one without a topic, opens the start page.

#include <QHash>
#include <QObject>
#include <QString>

class QUrl;
class QWidget;

namespace quillpad {

class TQVHHComp : public QObject {
    Q_OBJECT

public:
    static constexpr const char *ContextProperty = "helpContext";

    explicit TQVHHComp(QObject *owner);  // lives as long as its owner
    ~TQVHHComp() override;

    // The start page, relative to the program folder; empty switches context help off.
    const QString &HelpFile() const { return m_helpFile; }
    void setHelpFile(const QString &name) { m_helpFile = name; }
    void setContextNames(const QHash<QString, int> &contexts) { m_contextNames = contexts; }
    // Context -> "page.html#anchor", relative to the start page's folder.
    void setTopics(const QHash<int, QString> &topics) { m_topics = topics; }

    int contextOf(const QWidget *control) const;
    QUrl topicUrl(int context) const;
    // Opens the topic in the browser through the desktop's services.
    void showTopic(int context) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString m_helpFile;
    QHash<QString, int> m_contextNames;
    QHash<int, QString> m_topics;
};

}  // namespace quillpad
