#include "sim/model.h"

namespace sim {

ModelInfo modelInfo(std::string_view model) {
    if (model == "5402")
        return {2, 2, false, false};
    if (model == "5404")
        return {4, 4, false, false};
    if (model == "5402+")
        return {4, 2, true, false};
    if (model == "5404+")
        return {8, 4, true, false};
    if (model == "5452")
        return {4, 2, false, true};
    if (model == "5454")
        return {8, 4, false, true};
    // Unknown models get every channel but no output of their own.
    return {8, 0, false, false};
}

TimeLimits timeLimits(const ModelInfo& info) {
    if (info.highResolution)
        return {4e-8, 4000.0, 4000.0, 8e-9, 4000.0};
    if (info.plus)
        return {5e-8, 1000.0, 1000.0, 1e-8, 1000.0};
    return {2e-7, 1000.0, 1000.0, 1e-8, 1000.0};
}

} // namespace sim
