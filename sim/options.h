#pragma once

#include <string>

namespace sim {

// The interface the simulated instrument is reached through: its character
// echo is switched off by the matching ":SYST:COMM:...:ECH OFF" line only.
enum class Interface { Usb, Bluetooth };

// How numbers in seconds and volts are written in replies.
enum class NumberForm {
    Fixed,    // "0.001000000000", "2.50"
    Exponent, // "1.000000000000E-03", "2.50E+00"
};

struct Options {
    std::string model = "5404+";
    std::string manufacturer = "PG";
    std::string serial = "1234";
    std::string firmware = "2.1.0";
    std::string fpga = "1.0.3";
    bool muxGate = true; // whether the firmware knows the mux gate header
    Interface interface = Interface::Usb;
    double externalTriggerPeriod = 0; // seconds between external triggers; 0: none connected
    NumberForm numberForm = NumberForm::Fixed;
    int errorCode = 0; // what "*ERS?" reports
};

} // namespace sim
