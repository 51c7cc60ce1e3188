#pragma once

#include <string_view>

namespace sim {

// What a model text makes of the simulated instrument. The simulator keeps its
// own table on purpose: it is the far side that checks the panel's.
struct ModelInfo {
    int channelCount = 8;
    int outputChannels = 0; // channels 1..outputChannels have an output; the rest are virtual
    bool plus = false;
    bool highResolution = false;

    // Plus and high-resolution models share the extended feature set.
    bool extended() const { return plus || highResolution; }
    bool isOutput(int channel) const { return channel >= 1 && channel <= outputChannels; }
};

ModelInfo modelInfo(std::string_view model);

// Time limits in seconds for the model's family.
struct TimeLimits {
    double periodMin;
    double periodMax;
    double delayMax; // delays run from -delayMax to delayMax
    double widthMin;
    double widthMax;
};

TimeLimits timeLimits(const ModelInfo& info);

} // namespace sim
