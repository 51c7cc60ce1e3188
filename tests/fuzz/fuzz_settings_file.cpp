// Settings files of any bytes: lines never carry a line break, and what is
// written back reads as the same lines.
#include "instrument/settings_file.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = pg5400::SplitSettingsLines(pg5400::DecodeSettingsText(bytes));
    for (const QString& line : lines)
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
            std::abort();
    // A first line that itself begins with a byte-order mark cannot survive
    // a file without one; every other file round-trips.
    if (!lines.isEmpty() && lines.first().startsWith(QChar(0xFEFF)))
        return 0;
    const QStringList again =
        pg5400::SplitSettingsLines(pg5400::DecodeSettingsText(pg5400::EncodeSettingsFile(lines)));
    if (again != lines)
        std::abort();
    return 0;
}
