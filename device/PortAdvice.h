#pragma once
// Words for the user when the serial port does not open: on Linux a port
// belongs to a group (on Debian "dialout") whose members alone may open it,
// and a port name of another system ("COM1") names nothing here.
#include <QList>
#include <QString>

namespace qv {

// A serial port the system lists.
struct TPortEntry {
    QString Name;    // what opens it: "/dev/ttyUSB0"
    QString Caption; // the name with the adapter's description and maker when known
};

// "/dev/ttyUSB0 - FT232R USB UART (FTDI)"; parts the system does not know
// are left out.
QString PortCaption(const QString& name, const QString& description, const QString& maker);
// The serial ports of this system, by name.
QList<TPortEntry> SystemPorts();

// The line that follows the open failure's text for its error number:
// permission denied names the device's group and how to join it, a missing
// port lists the ports there are; empty for every other failure.
QString PortOpenAdvice(const QString& portName, int errorCode);

// The parts of PortOpenAdvice.
QString PermissionAdvice(const QString& group, const QString& user);
QString MissingPortAdvice(const QList<TPortEntry>& ports);

} // namespace qv
