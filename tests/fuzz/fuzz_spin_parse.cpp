// Text typed into a numeric entry: parsing never fails, and an accepted text
// always gives a finite number.
#include "controls/spinvaluemodel.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

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

    // Formatting is total: any double as a value or a bound, with any
    // decimals, base, leading digits and thousand separator.
    if (size >= 13) {
        double any = 0;
        std::memcpy(&any, data + 1, sizeof any);
        TSpinValueModel model;
        model.setBase(2 + data[9] % 19);
        model.setDecimals(data[10] % 24);
        model.setLeadingDigits(data[11] % 24);
        model.setThousandSeparator(data[12] % 2 ? QChar(',') : QChar());
        model.setMaxValue(any);
        model.setMinValue(-any);
        model.setValue(any);
        (void)model.FormatText(any);
        (void)model.FormatText(model.Value());
    }
    return 0;
}
