// The file service's header-block readers: the value of a block, and its numbers.
#include "fileservice/WireValues.h"
#include "fuzz/FuzzCheck.h"

#include <cerrno>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* block = reinterpret_cast<const char*>(data);
    const QByteArray value = BlockValue(block, int(size));
    // The value is the block up to its first zero byte.
    FUZZ_CHECK(value.size() <= qsizetype(size));
    FUZZ_CHECK(!value.contains('\0'));
    FUZZ_CHECK(std::memcmp(value.constData(), block, size_t(value.size())) == 0);
    FUZZ_CHECK(value.size() == qsizetype(size) || block[value.size()] == '\0');

    // Numbers read as the C library reads them, saturating at the ends of the range.
    const std::string text(value.constData(), size_t(value.size()));
    errno = 0;
    const long long expected = std::strtoll(text.c_str(), nullptr, 10);
    FUZZ_CHECK(ParseInt64(value) == expected);
    return 0;
}
