// The "#" notation of the end-of-response marker: any text gives a marker no
// longer than the text itself.
#include "serial/pgcomport.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray raw = TPGComPort::DecodeEndOfResponse(text);
    if (raw.size() > text.size())
        std::abort();
    if (!text.contains('#') && raw != text)
        std::abort();
    return 0;
}
