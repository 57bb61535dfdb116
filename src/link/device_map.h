#pragma once

#include <QString>

#include <functional>
#include <memory>

// COM numbers to serial devices or serial servers. The optional section "Devices" of set.ini maps
// a number to a serial server's address (COM3=rfc2217://10.0.0.5:4001), which is passed on as it
// stands, and, except on Windows, to a device (COM1=/dev/ttyUSB0). On Windows COMn is otherwise
// the device itself; elsewhere COMn without an entry is /dev/ttyUSB{n-1} when that exists, else
// /dev/ttyACM{n-1} when that exists, else /dev/ttyS{n-1}. What opens a port: a set.ini that cannot
// be read, or a [Devices] entry holding a NUL, is an error (PlatformError) rather than a silent
// fallback.
QString comDevice(int comNumber, const QString &iniPath);

// Where the COM number's device came from, for the user: "set.ini", "default". For showing only:
// a set.ini that cannot be read maps nothing here.
struct ComMapping
{
    QString device;
    bool fromIni = false;
    bool fromOverride = false; // for this run only: --port, or the simulated PLC
    bool simulated = false;    // the simulated PLC built into the program
};
ComMapping mapComNumber(int comNumber, const QString &iniPath);

// Maps a COM number to a device or a serial server's address for this run only, before set.ini is
// asked (--port with a device path or an address). An empty device removes the mapping.
void setComOverride(int comNumber, const QString &device);
// Removes every mapping for this run, the simulated PLC's included, and stops that PLC.
void clearComOverrides();

// The simulated PLC built into the program, served on a device of this process. It is alive
// as long as the object is.
class SimulatedPlc
{
public:
    virtual ~SimulatedPlc() = default;
    virtual QString devicePath() const = 0;
};
// Starts one; throws PlatformError with the reason when it cannot.
using SimulatedPlcFactory = std::function<std::unique_ptr<SimulatedPlc>()>;

// Offers the simulated PLC to the window; an empty factory withdraws it (and stops a running one).
void setSimulatedPlcFactory(SimulatedPlcFactory factory);
bool simulatedPlcOffered();
// Leads every COM number to the simulated PLC for this run, starting it when it is not running.
// Throws PlatformError when it cannot start; the mappings stay as they were then.
void useSimulatedPlc();
// Whether the COM numbers lead to the simulated PLC now.
bool simulatedPlcInUse();
// The simulated PLC's device, started when not running yet, without leading any COM number
// to it (the COM-port dialog's test). Throws PlatformError when it cannot start.
QString simulatedPlcDevice();

// "COM3"
QString comName(int comNumber);
