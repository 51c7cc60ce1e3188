// Text typed into a numeric entry: parsing never fails, and an accepted text
// always gives a finite number.
#include "controls/spinvaluemodel.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const int base = 2 + data[0] % 19;
    const QString text =
        QString::fromLatin1(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    bool ok = false;
    const double value = TSpinValueModel::ParseText(text, base, &ok);
    if (ok && !std::isfinite(value))
        std::abort();
    return 0;
}
