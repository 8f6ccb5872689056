// The launch link decoder over any argument text.
#include "core/LaunchLink.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text = FuzzBytes(data, size);
    const LaunchRequest link = DecodeLaunchLink(text);
    if (link.kind == LaunchRequest::Kind::None) {
        FUZZ_CHECK(link.request.isEmpty());
        return 0;
    }
    // Only "/url vastrelle:..." is a link, and every decoded byte stands for one code, so
    // there are never more bytes than comma-separated codes, nor more than the bound.
    FUZZ_CHECK(text.startsWith("/url vastrelle:"));
    if (link.kind == LaunchRequest::Kind::Unreadable) {
        FUZZ_CHECK(link.request.isEmpty());
        return 0;
    }
    const QByteArray& request = link.request;
    FUZZ_CHECK(request.size() <= text.count(',') + 1);
    FUZZ_CHECK(request.size() <= kMaxLaunchRequest);
    FUZZ_CHECK(DecodeLaunchLink(text).request == request);
    FUZZ_CHECK(DownloadManagerCommand(request).endsWith(request));
    return 0;
}
