// The file server's member reply: "id|megabytes|class name|paid-until".
#include "core/MemberHandshake.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray reply = FuzzBytes(data, size);
    const MemberInfo info = ParseMemberReply(reply);
    FUZZ_CHECK(info.memberClass >= 0 && info.memberClass <= 4);
    FUZZ_CHECK(!info.className.isEmpty());
    FUZZ_CHECK(!info.className.contains('|'));
    if (reply.contains('|'))
        FUZZ_CHECK(!info.id.contains('|'));
    else
        FUZZ_CHECK(info.id == reply);
    FUZZ_CHECK(MemberClassFor(info.className) == info.memberClass);
    // Every hour of a day gives an answer, whatever the reply said.
    for (int hour = 0; hour < 24; ++hour)
        CheckTimeWindow(info, LocalHour{2024, 2, 29, hour});
    return 0;
}
