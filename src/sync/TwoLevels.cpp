#include "sync/TwoLevels.h"

#include <QHash>

namespace quillpad {

void ShowAtTwoLevels(std::vector<TTaskInfo> &tasks)
{
    // Each top-level ancestor is found once and shared by the tasks below it: a chain of
    // any depth costs what as many tasks side by side cost.
    const int count = int(tasks.size());
    QHash<QString, int> firstWith;  // the task a sub-task naming the tid hangs under
    firstWith.reserve(count);
    for (int i = count - 1; i >= 0; --i)
        firstWith.insert(tasks[i].tid, i);
    std::vector<int> first(count), parent(count, -1);
    for (int i = 0; i < count; ++i) {
        first[i] = firstWith.value(tasks[i].tid);
        if (tasks[i].pid != RootPid)
            parent[i] = firstWith.value(tasks[i].pid, -1);
    }
    // top: the last task on the way up from a first task with its tid; Circle when the
    // way goes round.
    constexpr int Unknown = -1, Circle = -2;
    std::vector<int> top(count, Unknown), walkedFrom(count, -1), path;
    for (int i = 0; i < count; ++i) {
        if (first[i] != i)
            continue;
        path.clear();
        int n = i;
        while (top[n] == Unknown && walkedFrom[n] != i) {
            walkedFrom[n] = i;
            path.push_back(n);
            if (parent[n] < 0)
                top[n] = n;
            else
                n = parent[n];
        }
        const int found = top[n] == Unknown ? Circle : top[n];
        for (int m : path)
            top[m] = found;
    }
    // Another task with a taken tid goes round when the first one is above its parent:
    // numbered in a walk down the tree, a task's descendants follow it before `leave`.
    std::vector<int> enter(count, -1), leave(count, -1), childStart(count + 1, 0), children, filled;
    for (int i = 0; i < count; ++i)
        if (top[i] >= 0 && parent[i] >= 0)
            ++childStart[parent[i] + 1];
    for (int i = 0; i < count; ++i)
        childStart[i + 1] += childStart[i];
    children.resize(childStart[count]);
    filled.assign(childStart.begin(), childStart.end() - 1);
    for (int i = 0; i < count; ++i)
        if (top[i] >= 0 && parent[i] >= 0)
            children[filled[parent[i]]++] = i;
    int number = 0;
    std::vector<int> stack;
    for (int i = 0; i < count; ++i) {
        if (top[i] != i)
            continue;
        enter[i] = number++;
        stack.assign(1, i);
        filled[i] = childStart[i];
        while (!stack.empty()) {
            const int n = stack.back();
            if (filled[n] == childStart[n + 1]) {
                leave[n] = number;
                stack.pop_back();
            } else {
                const int child = children[filled[n]++];
                enter[child] = number++;
                filled[child] = childStart[child];
                stack.push_back(child);
            }
        }
    }
    for (int i = 0; i < count; ++i) {
        const int f = first[i], p = parent[i];
        int shown = Circle;
        if (f == i)
            shown = top[i] == i ? Circle : top[i];
        else if (p >= 0 && !(enter[f] >= 0 && enter[f] <= enter[p] && enter[p] < leave[f]))
            shown = top[p];
        tasks[i].pid = shown < 0 ? RootPid : tasks[shown].tid;
    }
}

}  // namespace quillpad
