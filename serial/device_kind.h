#pragma once

#include "serial/device.h"

#include <QString>
#include <memory>

// Which kind of device a port table entry names, told by its form: a URL
// with a scheme is a network port, anything else a tty device path.
namespace serialport {

// A closed device of the kind the path names; open it with the path.
std::unique_ptr<Device> MakeDevice(const QString& path);

// The entry as the pick dialog lists it after "COM n": only what tells
// similar ports apart (a stable name's file name, a network port's host
// and port); empty for a plain device node, whose number says it all.
QString ShortName(const QString& path);

} // namespace serialport
