#include "comm/model_table.h"

#include <array>

namespace communication {

namespace {

constexpr std::array<ModelInfo, 6> kModels{{
    {"5402", 2, 2, false, false},
    {"5404", 4, 4, false, false},
    {"5402+", 4, 2, true, false},
    {"5404+", 8, 4, true, false},
    {"5452", 4, 2, false, true},
    {"5454", 8, 4, false, true},
}};

constexpr ModelInfo kOtherModel{"", 8, 0, false, false};

} // namespace

const ModelInfo* FindKnownModel(const QString& model) {
    for (const ModelInfo& m : kModels)
        if (model == QLatin1String(m.model))
            return &m;
    return nullptr;
}

bool IsKnownModel(const QString& model) {
    return FindKnownModel(model) != nullptr;
}

QString CompanyName(const QString& makerCode) {
    return makerCode == QLatin1String("PG") ? QStringLiteral("Pellgrave")
                                            : QStringLiteral("Unknown");
}

ModelInfo ModelInfoFor(const QString& model) {
    const ModelInfo* m = FindKnownModel(model);
    return m ? *m : kOtherModel;
}

double ResolutionFor(bool plusOption, bool highResolution) {
    if (plusOption)
        return 5e-9;
    return highResolution ? 4e-9 : 1e-8;
}

} // namespace communication
