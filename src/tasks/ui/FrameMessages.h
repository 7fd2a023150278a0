#pragma once
// Deferred work is posted as events with these numbers; Qt keeps their order.

#include <QEvent>

namespace quillpad {

class TaskNode;

enum FrameMessage : int {
    MsgReloadTasks = 2024,    // rebuild the tree from the database
    MsgMenuSortFocus = 2025,  // install the menu bar, sort, focus the tree
    MsgUpdateOffer = 2027,    // main window: offer the update page
    MsgAddTask = 2034,        // start adding a task
    MsgOpenEditor = 2035,     // open the in-place editor on the edit node
    MsgDropNewNode = 2036,    // drop a pending new node that got no text
};

class FrameEvent : public QEvent {
public:
    explicit FrameEvent(FrameMessage message, TaskNode *node = nullptr)
        : QEvent(static_cast<QEvent::Type>(message)), m_node(node)
    {
    }
    FrameMessage message() const { return static_cast<FrameMessage>(type()); }
    TaskNode *node() const { return m_node; }

private:
    TaskNode *m_node;
};

}  // namespace quillpad
