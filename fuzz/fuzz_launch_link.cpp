// The launch link decoder over any argument text.
#include "FuzzCheck.h"
#include "LaunchLink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text = FuzzBytes(data, size);
    const std::optional<QByteArray> request = DecodeLaunchLink(text);
    if (!request)
        return 0;
    // Only "/url vastrelle:..." is a link, and every decoded byte stands for one code, so
    // there are never more bytes than comma-separated codes.
    FUZZ_CHECK(text.startsWith("/url vastrelle:"));
    FUZZ_CHECK(request->size() <= text.count(',') + 1);
    FUZZ_CHECK(DecodeLaunchLink(text) == request);
    FUZZ_CHECK(DownloadManagerCommand(*request).endsWith(*request));
    return 0;
}
