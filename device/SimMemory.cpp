#include "device/SimMemory.h"

#include <algorithm>
#include <cmath>

namespace qv::sim {

namespace {
// Small deterministic generator (LCG), enough for plausible noise.
class Rng {
public:
    explicit Rng(quint32 start) : state_(start * 2654435761u + 12345u) {}
    double uniform() // -1 .. 1
    {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / static_cast<double>(1u << 23) - 1.0;
    }

private:
    quint32 state_;
};

// No byte of a stored value may be 0xFF: the high byte stays below 0xFF
// and a low byte 0xFF becomes 0xFE.
quint16 Storable(double v)
{
    long x = std::lround(v);
    x = std::clamp(x, 0L, 0xFEFEL);
    quint16 r = static_cast<quint16>(x);
    if ((r & 0xFF) == 0xFF)
        r -= 1;
    return r;
}

void PutWord(std::vector<quint8>& m, quint16 w)
{
    m.push_back(static_cast<quint8>(w >> 8));
    m.push_back(static_cast<quint8>(w & 0xFF));
}
} // namespace

int ChannelCount(quint16 mask)
{
    int n = 0;
    for (int bit = 0; bit < 16; ++bit)
        n += (mask >> bit) & 1;
    return n;
}

std::vector<quint16> FlightSamples(const FlightShape& shape, quint32 rngStart)
{
    Rng rng(rngStart);
    const int n = std::max(0, shape.samples);
    const int channels = ChannelCount(shape.mask);
    std::vector<quint16> out;
    out.reserve(static_cast<std::size_t>(n) * channels);

    // Phases as fractions of the flight: rest, tow (rising pull), release,
    // glide. Each flight of a memory tows a little differently.
    const double variant = static_cast<double>(rngStart % 5) / 4.0; // 0..1
    const double towStart = 0.10, release = 0.52 + 0.12 * variant;
    const double restTraction = 9000.0;    // raw counts at rest
    const double peakPull = 1400.0 + 500.0 * (1.0 - variant); // raw counts above rest at the end of the tow (~330-450 N)
    const double wiggle = 30.0 + 15.0 * variant;
    const double servoHold = 19843.0 + 60 * 43.35;   // about -60 %
    const double servoRelease = 19843.0 - 70 * 43.35; // about +70 %
    const double voltStart = 8.4 / 0.0217 - 85; // raw of 8.4 V
    const double voltEnd = 7.7 / 0.0217 - 85;

    for (int i = 0; i < n; ++i) {
        const double f = n > 1 ? static_cast<double>(i) / (n - 1) : 0.0;
        for (int bit = 15; bit >= 0; --bit) {
            if (!((shape.mask >> bit) & 1))
                continue;
            double v;
            switch (bit) {
            case 15: { // traction
                double pull = 0;
                if (f >= towStart && f < release) {
                    const double t = (f - towStart) / (release - towStart);
                    pull = peakPull * (0.3 + 0.7 * t) + 120 * std::sin(wiggle * t);
                } else if (f >= release) {
                    pull = 400 * std::exp(-(f - release) * 200); // the rope goes slack
                }
                v = restTraction + pull + 15 * rng.uniform();
                break;
            }
            case 14: { // servo: moves to the release position over a few samples
                const double t = std::clamp((f - release) * n / 5.0, 0.0, 1.0);
                v = servoHold + (servoRelease - servoHold) * t + 8 * rng.uniform();
                break;
            }
            case 11: // supply voltage, falling slowly
                v = voltStart + (voltEnd - voltStart) * f + 1.5 * rng.uniform();
                break;
            default:
                v = 1000 + 100 * bit + 500 * f + 10 * rng.uniform();
                break;
            }
            out.push_back(Storable(v));
        }
    }
    return out;
}

void AppendFlight(std::vector<quint8>& memory, const FlightShape& shape,
                  const std::vector<quint16>& samples)
{
    for (int k = 0; k < 4; ++k)
        memory.push_back(0xFF);
    PutWord(memory, shape.period);
    PutWord(memory, shape.mask);
    for (quint16 w : shape.words)
        PutWord(memory, w);
    for (quint16 s : samples)
        PutWord(memory, s);
}

void AppendFlight(std::vector<quint8>& memory, const FlightShape& shape, quint32 rngStart)
{
    AppendFlight(memory, shape, FlightSamples(shape, rngStart));
}

std::vector<quint8> BuildMemory(int flights, const FlightShape& shape, quint32 rngStart,
                                int memorySize, int trailingFf)
{
    std::vector<quint8> m;
    for (int k = 0; k < flights; ++k)
        AppendFlight(m, shape, rngStart + static_cast<quint32>(k));
    m.resize(std::max<std::size_t>(m.size() + std::max(trailingFf, 0),
                                   static_cast<std::size_t>(std::max(memorySize, 0))),
             0xFF);
    return m;
}

std::vector<quint8> BuildFullMemory(int size, int flights, const FlightShape& shape,
                                    quint32 rngStart)
{
    std::vector<quint8> m;
    if (size <= 0)
        return m;
    flights = std::max(flights, 1);
    const int channels = std::max(ChannelCount(shape.mask), 1);
    const int perFlight = size / flights;
    for (int k = 0; k < flights; ++k) {
        FlightShape s = shape;
        const int room = (k == flights - 1 ? size - static_cast<int>(m.size()) : perFlight);
        s.samples = std::max(0, (room - kFlightHeaderSize) / (2 * channels) + 1);
        std::vector<quint8> one;
        AppendFlight(one, s, rngStart + static_cast<quint32>(k));
        one.resize(static_cast<std::size_t>(std::max(room, 0)));
        m.insert(m.end(), one.begin(), one.end());
    }
    m.resize(static_cast<std::size_t>(size), 0x00);
    return m;
}

} // namespace qv::sim
