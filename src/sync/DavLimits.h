#pragma once
// How much and how long the sync waits for one answer of the server.

#include <QtGlobal>

namespace quillpad {

struct DavLimits {
    // An answer longer than this is cut off: far above the listing of a quarter of a million
    // tasks or a fetch of 200 tasks of 300 KB each.
    qint64 maxAnswerBytes = qint64(64) << 20;
    // A request not answered in full by then is given up, however steadily bytes come.
    int deadlineMs = 300000;
    // No byte for this long: the server is gone.
    int silenceMs = 120000;
};

}  // namespace quillpad
