#pragma once
// The manual and its topics: which control or dialog opens which page on F1.

#include <QHash>
#include <QList>
#include <QString>

namespace quillpad {

class TQVHHComp;

namespace HelpTopics {

// The manual's start page, relative to the program folder; "&Contents" opens it.
inline const QString StartPage = QStringLiteral("manual/index.html");

struct Topic {
    int context;         // the help-context number
    const char *object;  // the object name of the control or dialog it belongs to
    const char *page;    // "page.html#anchor", relative to the start page's folder
};

// Every topic, each with its own number.
const QList<Topic> &All();

// Gives the component its start page and both tables.
void Install(TQVHHComp &help);

}  // namespace HelpTopics

}  // namespace quillpad
