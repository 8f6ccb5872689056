// The window bus frame reader over whatever a connection delivers.
#include "core/WindowBus.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = FuzzBytes(data, size);
    const BusFrame frame = ReadBusFrame(bytes);
    if (frame.status != BusFrame::Complete) {
        FUZZ_CHECK(frame.sender.isEmpty() && frame.data.isEmpty() && frame.length == 0);
        if (frame.status == BusFrame::NeedMore && size >= size_t(kBusFrameHeader)) {
            // A header that asks for more never asks for more than a frame may hold.
            FUZZ_CHECK(size < size_t(kBusFrameHeader + kBusMaxSender + kBusMaxData));
        }
        return 0;
    }
    // The frame's parts fit the input, lie where the header says, and write back as the
    // same bytes; one byte less is not yet a frame.
    FUZZ_CHECK(frame.length <= bytes.size());
    FUZZ_CHECK(frame.length == kBusFrameHeader + frame.sender.size() + frame.data.size());
    FUZZ_CHECK(frame.sender.size() <= kBusMaxSender && frame.data.size() <= kBusMaxData);
    FUZZ_CHECK(WriteBusFrame(frame.tag, frame.sender, frame.data) == bytes.left(frame.length));
    FUZZ_CHECK(ReadBusFrame(bytes.left(frame.length - 1)).status == BusFrame::NeedMore);
    CopyData message{frame.tag, QString::fromUtf8(frame.sender), frame.data};
    FUZZ_CHECK(message.text().size() <= message.data.size());
    return 0;
}
