#pragma once
// Builds logger memory contents the way the logger records flights, for the
// simulated logger and for tests.
//
// Layout of the memory: every flight is 4 marker bytes 0xFF, then 7 header
// words (16-bit, high byte first: period in 10 ms units, channel mask,
// words 3..7), then the samples: per sample one 16-bit big-endian value per
// channel whose mask bit is set, from bit 15 downwards. After the last
// flight the memory holds 0xFF.
//
// Generated values never contain a 0xFF byte (so no run of 0xFF bytes can
// appear inside a flight); keep header words free of 0xFF bytes as well.
#include <QtGlobal>

#include <array>
#include <vector>

namespace qv::sim {

constexpr quint16 kMaskTraction = 0x8000; // record channel 1
constexpr quint16 kMaskServo = 0x4000;    // record channel 2
constexpr quint16 kMaskVoltage = 0x0800;  // record channel 5
constexpr int kFlightHeaderSize = 18;     // 4 marker bytes + 7 words

struct FlightShape {
    quint16 period = 10;                    // 10 ms units
    quint16 mask = kMaskTraction | kMaskServo | kMaskVoltage;
    std::array<quint16, 5> words{{1, 0, 0, 0, 0}}; // header words 3..7
    int samples = 600;
};

// Number of set bits of the mask (channels per sample).
int ChannelCount(quint16 mask);

// Raw samples of one flight: samples x ChannelCount(mask) values, sample by
// sample. Traction (bit 15) rests, rises during the tow and drops at the
// release (at 60 % of the flight); the servo (bit 14) sits at about -60 %
// and moves to +70 % at the release, crossing 0 %; the supply (bit 11)
// falls slowly from about 8.4 V; other channels carry slow ramps.
std::vector<quint16> FlightSamples(const FlightShape& shape, quint32 rngStart);

// Appends marker, header and the given samples (must match the mask).
void AppendFlight(std::vector<quint8>& memory, const FlightShape& shape,
                  const std::vector<quint16>& samples);
// Appends a generated flight.
void AppendFlight(std::vector<quint8>& memory, const FlightShape& shape, quint32 rngStart);

// A memory with `flights` generated flights (flight k uses rngStart + k),
// padded with 0xFF to memorySize bytes (when it is larger) and followed by
// at least `trailingFf` bytes 0xFF.
std::vector<quint8> BuildMemory(int flights, const FlightShape& shape, quint32 rngStart,
                                int memorySize = 0, int trailingFf = 8);

// Flights that fill exactly `size` bytes (the last flight is cut to fit,
// may end in the middle of a sample); no 0xFF tail.
std::vector<quint8> BuildFullMemory(int size, int flights, const FlightShape& shape,
                                    quint32 rngStart);

} // namespace qv::sim
