#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Finding the instrument on COM1..COM100 and reading its identity.
namespace communication {

struct TInstrumentIdentity {
    QString Manufacturer;
    QString Model;
    qint32 SerialNumber = 0;
    QString FirmwareVersion;
    QString FpgaVersion;
    qint32 FirmwareMajor = 0;
};

extern TInstrumentIdentity InstrumentIdentity;
extern bool PlusOption;
extern bool HighResolution;
extern int ChannelCount;
extern double SystemResolution;

// Scans COM1..COM100; true with the port left open on the first known model.
// Stops (false) once ShutdownBegun is set, which `betweenPorts` may do: the
// scan runs no event loop, so this is where a waiting signal is served.
bool ConnectInstrument(const std::function<void()>& betweenPorts = {});
// After a scan: one line per device that exists but could not be opened,
// and why ("COM2 /dev/ttyUSB0: permission denied: ...").
QStringList ScanFindings();
// The two lines that switch the instrument's character echo off on both of
// its interfaces (the scan's and the hand-picked port's); whatever they leave
// in the input is flushed by the next exchange.
void SwitchEchoOff();
// Asks *IDN? and fills InstrumentIdentity from the reply.
void ParseIDN();
// The parsing step alone, for a reply already read.
void ParseIDNReply(const QString& reply);
// ChannelCount and SystemResolution from the model and the two flags.
void ApplyModelTable();

void ResetDiscovery();

} // namespace communication
