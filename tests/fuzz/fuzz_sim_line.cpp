// The simulated instrument answers every line, whatever it holds, with one
// reply line that carries no line break of its own.
#include "sim/instrument.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sim::Options options;
    if (size > 0)
        options.model = (data[0] % 2) ? "5454" : "5402";
    sim::Instrument instrument(options);
    std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= input.size()) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos)
            end = input.size();
        const std::string reply = instrument.handleLine(input.substr(start, end - start));
        if (reply.empty() || reply.find_first_of("\r\n") != std::string::npos)
            std::abort();
        start = end + 1;
    }
    return 0;
}
