#include "sync/TaskMerge.h"

#include <tuple>

namespace quillpad {

namespace {

// One field as the merge compares it: what it holds, and how it is written back.
template <typename Get>
void MergeField(const TTaskInfo &base, const TTaskInfo &local, const TTaskInfo &remote, TaskMerge &result, Get get)
{
    const bool localChanged = get(local) != get(base);
    const bool remoteChanged = get(remote) != get(base);
    if (localChanged && !remoteChanged)
        get(result.merged) = get(local);
    else if (localChanged && remoteChanged && get(local) != get(remote))
        result.conflict = true;  // the server's value stays
}

}  // namespace

TaskMerge MergeTask(const TTaskInfo &base, const TTaskInfo &local, const TTaskInfo &remote)
{
    TaskMerge result{remote, false};
    const auto field = [&](auto get) { MergeField(base, local, remote, result, get); };
    field([](auto &t) -> auto & { return t.content; });
    // A completion is the same change on both sides whatever its time: the server's time stays.
    field([](auto &t) { return std::tie(t.checkFlag); });
    if (local.checkFlag != base.checkFlag && remote.checkFlag == base.checkFlag)
        result.merged.checkTime = local.checkTime;
    field([](auto &t) { return std::tie(t.dueFlag, t.dueTime); });
    field([](auto &t) { return std::tie(t.alarmFlag, t.alarmTime); });
    field([](auto &t) { return std::tie(t.textColor, t.backgroundColor); });
    field([](auto &t) -> auto & { return t.expandFlag; });
    field([](auto &t) -> auto & { return t.pid; });
    if (!result.conflict && local.editTime > remote.editTime)
        result.merged.editTime = local.editTime;
    return result;
}

}  // namespace quillpad
