#include "sync/TaskMerge.h"

namespace quillpad {

namespace {

bool SameTime(TDateTime a, TDateTime b)
{
    return (a == ZeroDateTime) == (b == ZeroDateTime) && SameDateTime(a, b);
}

// A flag with the time it holds; while off, the time it keeps is no part of its value.
struct TimedFlag {
    bool TTaskInfo::*flag;
    TDateTime TTaskInfo::*time;

    bool equal(const TTaskInfo &a, const TTaskInfo &b) const
    {
        return a.*flag == b.*flag && (!(a.*flag) || SameTime(a.*time, b.*time));
    }
    bool identical(const TTaskInfo &a, const TTaskInfo &b) const
    {
        return a.*flag == b.*flag && SameTime(a.*time, b.*time);
    }
    void take(TTaskInfo &to, const TTaskInfo &from) const
    {
        to.*flag = from.*flag;
        to.*time = from.*time;
    }
};

template <typename T>
struct Plain {
    T TTaskInfo::*field;

    bool equal(const TTaskInfo &a, const TTaskInfo &b) const { return a.*field == b.*field; }
    bool identical(const TTaskInfo &a, const TTaskInfo &b) const { return equal(a, b); }
    void take(TTaskInfo &to, const TTaskInfo &from) const { to.*field = from.*field; }
};

// Starts from the server's value. Changed on both sides, `alike` says whether the two
// changes agree and `both` takes what they agree on.
template <typename Field, typename Alike, typename Both>
void MergeField(const Field &field, const TTaskInfo &base, const TTaskInfo &local, const TTaskInfo &remote,
                TaskMerge &result, Alike alike, Both both)
{
    const bool here = !field.equal(base, local);
    const bool there = !field.equal(base, remote);
    if (here && there) {
        if (alike(local, remote))
            both(result.merged);
        else
            result.conflict = true;
    } else if (here || (!there && !field.identical(base, local) && field.identical(base, remote))) {
        // Changed here only; or, of a flag that is off, only here its kept time moved.
        field.take(result.merged, local);
    }
}

template <typename Field>
void MergeField(const Field &field, const TTaskInfo &base, const TTaskInfo &local, const TTaskInfo &remote,
                TaskMerge &result)
{
    MergeField(
        field, base, local, remote, result, [&](const TTaskInfo &a, const TTaskInfo &b) { return field.equal(a, b); },
        [](TTaskInfo &) {});
}

}  // namespace

TaskMerge MergeTask(const TTaskInfo &base, const TTaskInfo &local, const TTaskInfo &remote)
{
    TaskMerge result{remote, false};
    MergeField(Plain<QString>{&TTaskInfo::content}, base, local, remote, result);
    // Completed on both sides, whenever each was: the task is done since the first time.
    MergeField(
        TimedFlag{&TTaskInfo::checkFlag, &TTaskInfo::checkTime}, base, local, remote, result,
        [](const TTaskInfo &a, const TTaskInfo &b) { return a.checkFlag == b.checkFlag; },
        [&](TTaskInfo &merged) {
            const bool earlier = local.checkTime != ZeroDateTime &&
                                 (remote.checkTime == ZeroDateTime ||
                                  DateTimeToMs(local.checkTime) < DateTimeToMs(remote.checkTime));
            if (local.checkFlag && earlier)
                merged.checkTime = local.checkTime;
        });
    MergeField(TimedFlag{&TTaskInfo::dueFlag, &TTaskInfo::dueTime}, base, local, remote, result);
    MergeField(TimedFlag{&TTaskInfo::alarmFlag, &TTaskInfo::alarmTime}, base, local, remote, result);
    MergeField(Plain<qint32>{&TTaskInfo::textColor}, base, local, remote, result);
    MergeField(Plain<qint32>{&TTaskInfo::backgroundColor}, base, local, remote, result);
    MergeField(Plain<bool>{&TTaskInfo::expandFlag}, base, local, remote, result);
    MergeField(Plain<QString>{&TTaskInfo::pid}, base, local, remote, result);
    if (DateTimeToMs(local.editTime) > DateTimeToMs(remote.editTime))
        result.merged.editTime = local.editTime;
    if (remote.createTime == ZeroDateTime)
        result.merged.createTime = local.createTime;
    return result;
}

}  // namespace quillpad
