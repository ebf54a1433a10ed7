#pragma once
// The device settings that the settings file carries and the device dialog
// holds during the run.
#include <QString>

namespace qv {

struct TDeviceSettings {
    QString Root;                  // data folder, no trailing delimiter
    QString Com = QStringLiteral("COM1");
    QString DefFileName = QStringLiteral("Blok");
    int FlightTemperature = 15;
    double DeflectionMin = -5.0;
    double DeflectionMax = 5.0;
    double MarkerThreshold = 0.0;
    // Kept raw memory images: "COUNT,MEGABYTES"; older ones beyond either
    // limit are deleted.
    QString RawImageLimit = QStringLiteral("50,1024");
};

} // namespace qv
