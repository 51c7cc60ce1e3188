#pragma once

#include <QString>

// What each model of the family offers: the single definition the scan, the
// read-back, the enabling rules and the status poll consult.
namespace communication {

struct ModelInfo {
    const char* model;  // the *IDN? model field exactly, "+" included
    int channelCount;   // channels A.. of the model
    int outputChannels; // channels with an output; the rest are virtual
    bool plusOption;
    bool highResolution;
};

// Null for a model outside the table (only known models are accepted by the scan).
const ModelInfo* FindKnownModel(const QString& model);
bool IsKnownModel(const QString& model);
// The model's row, or the row for any other text (8 channels, no outputs).
ModelInfo ModelInfoFor(const QString& model);
// The company the *IDN? maker field names: "Pellgrave" for "PG", else "Unknown".
QString CompanyName(const QString& makerCode);
// 5 ns with the plus option, else 4 ns with high resolution, else 10 ns.
double ResolutionFor(bool plusOption, bool highResolution);

} // namespace communication
