// libFuzzer target: any bytes as a WebDAV multistatus answer from a server. Reading it
// must neither crash nor trip a sanitizer nor take long, and must give the same result
// when read twice.

#include "sync/DavXml.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace quillpad;

namespace {

bool Same(const DavMultiStatus &a, const DavMultiStatus &b)
{
    if (a.ok != b.ok || a.syncToken != b.syncToken || a.responses.size() != b.responses.size())
        return false;
    for (size_t i = 0; i < a.responses.size(); ++i) {
        const DavResponse &x = a.responses[i];
        const DavResponse &y = b.responses[i];
        if (x.href != y.href || x.status != y.status || x.etag != y.etag || x.calendarData != y.calendarData ||
            x.isCalendar != y.isCalendar || x.components != y.components || x.principal != y.principal ||
            x.calendarHome != y.calendarHome)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray xml(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!Same(ParseMultiStatus(xml), ParseMultiStatus(xml))) {
        std::fprintf(stderr, "fuzz_davxml: the same answer read twice differs\n");
        std::abort();
    }
    return 0;
}
