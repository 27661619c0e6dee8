#pragma once

#include <QByteArray>
#include <QString>

// The network camera's answer to "/cgi-bin/param.cgi?get_device_conf": text
// lines (UTF-8, "\n"-separated) of the form key="value". Line 1 carries the
// device name, line 6 the serial number. A field is the text between the
// line's first and second "=", with every '"' removed; a line that has no
// "=", or is missing, leaves its field unchanged.
namespace DeviceConf {

void parse(const QByteArray &body, QString *deviceName, QString *serialNumber);

} // namespace DeviceConf
