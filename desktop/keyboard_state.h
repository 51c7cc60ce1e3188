#pragma once

// The physical state of the two start-up keys, where the platform lets a
// program read it (X11); elsewhere both read as not held.
namespace pg5400 {

struct StartKeys {
    bool space = false;
    bool leftShift = false;
};

StartKeys ReadStartKeys();

} // namespace pg5400
