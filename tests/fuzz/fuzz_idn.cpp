// *IDN? replies of any form: parsing never fails, and a model is only ever
// taken from a reply that has the field separators.
#include "comm/discovery.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString reply = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    communication::ResetDiscovery();
    communication::ParseIDNReply(reply);
    const auto& id = communication::InstrumentIdentity;
    if (!id.Model.isEmpty() && reply.count(QLatin1Char(',')) < 2)
        std::abort();
    if (id.Model.size() > reply.size() || id.Manufacturer.size() > reply.size())
        std::abort();
    return 0;
}
