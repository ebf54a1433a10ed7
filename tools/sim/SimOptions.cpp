#include "tools/sim/SimOptions.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <type_traits>

namespace simcli {

namespace {

bool ParseNumber(const char* s, long& out)
{
    char* end = nullptr;
    errno = 0;
    out = std::strtol(s, &end, 0);
    return errno == 0 && end && *end == '\0' && end != s;
}

bool ParseBadFrames(const std::string& list, std::map<long, int>& out)
{
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t comma = list.find(',', pos);
        if (comma == std::string::npos)
            comma = list.size();
        std::string item = list.substr(pos, comma - pos);
        if (!item.empty()) {
            long frame = 0, times = 1;
            const size_t colon = item.find(':');
            if (!ParseNumber(item.substr(0, colon).c_str(), frame) || frame < 0)
                return false;
            if (colon != std::string::npos &&
                (!ParseNumber(item.substr(colon + 1).c_str(), times) || times < 0))
                return false;
            out[frame] += static_cast<int>(times);
        }
        pos = comma + 1;
    }
    return true;
}

} // namespace

void Usage()
{
    std::fprintf(stderr,
        "usage: kavo5-sim [options]\n"
        "  --link PATH          also make a symlink PATH to the terminal\n"
        "  --firmware TEXT      firmware text (26 bytes, blank-padded; default \"KAVO5 SIM 1.0\")\n"
        "  --image FILE         memory contents from FILE\n"
        "  --flights N          generated flights (default 2)\n"
        "  --samples N          samples per flight (default 600)\n"
        "  --mask M             channel mask (default 0xC800: traction, servo, supply)\n"
        "  --period P           sampling period in 10 ms units (default 10)\n"
        "  --rng-start N        start value of the curve noise generator (default 1)\n"
        "  --bad-frames LIST    frames sent with a wrong check byte: F[:TIMES],... (0-based)\n"
        "  --silent-after N     stop answering after N frames were sent\n"
        "  --wrong-echo N       echo a wrong byte when frame N is acknowledged\n"
        "  --hangup-after N     close the line after N frames were sent\n"
        "  --noise-ff N         frame N first comes with five 0xFF of noise and a wrong check byte\n"
        "  --full-memory        flights fill the memory to the last byte; nothing is sent after it\n"
        "  --odd-flight K       generated flight K ends with a stray byte (a partial sample)\n"
        "  --empty-flight K     generated flight K has a header and no samples\n"
        "  --bad-config         the configuration goes out with a wrong check byte\n"
        "  --noise              junk bytes before each announcement\n"
        "  --junk-flood         send nothing but junk (never a command letter), without pause\n"
        "  --byte-ms MS         a slow line: every byte alone, MS ms after the one before\n"
        "  --baud B             pace bytes as a line of B baud would (default 115200; 0 unpaced)\n"
        "  --erase-ms MS        erase time (default 300)\n"
        "  --exit-on-stdin-eof  exit when stdin closes\n"
        "  --verbose            log commands on stderr\n");
}

bool ParseArgs(int argc, char** argv, Options& o)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    auto valued = [&](const char* name) {
        QCommandLineOption opt(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        parser.addOption(opt);
        return opt;
    };
    auto flag = [&](const char* name) {
        QCommandLineOption opt(QString::fromLatin1(name));
        parser.addOption(opt);
        return opt;
    };
    const auto link = valued("link"), firmware = valued("firmware"), image = valued("image");
    const auto flights = valued("flights"), samples = valued("samples"), mask = valued("mask");
    const auto period = valued("period"), rngStart = valued("rng-start"), badFrames = valued("bad-frames");
    const auto silentAfter = valued("silent-after"), wrongEcho = valued("wrong-echo");
    const auto hangupAfter = valued("hangup-after"), noiseFf = valued("noise-ff");
    const auto oddFlight = valued("odd-flight"), emptyFlight = valued("empty-flight");
    const auto baud = valued("baud"), eraseMs = valued("erase-ms"), byteMs = valued("byte-ms");
    const auto fullMemory = flag("full-memory"), noise = flag("noise"), badConfig = flag("bad-config");
    const auto junkFlood = flag("junk-flood");
    const auto exitOnEof = flag("exit-on-stdin-eof"), verbose = flag("verbose");
    if (!parser.parse(args) || !parser.positionalArguments().isEmpty())
        return false;

    // A numeric option within [min, max]; false when set and not valid.
    auto number = [&](const QCommandLineOption& opt, long min, long max, auto& out) {
        if (!parser.isSet(opt))
            return true;
        long n = 0;
        const QByteArray v = parser.value(opt).toLocal8Bit();
        if (!ParseNumber(v.constData(), n) || n < min || n > max)
            return false;
        out = static_cast<std::remove_reference_t<decltype(out)>>(n);
        return true;
    };
    constexpr long kAny = std::numeric_limits<long>::max();
    if (parser.isSet(link))
        o.link = parser.value(link).toStdString();
    if (parser.isSet(firmware))
        o.firmware = parser.value(firmware).toLocal8Bit().toStdString();
    if (parser.isSet(image))
        o.image = parser.value(image).toStdString();
    long rng = o.rngStart;
    if (!number(flights, 0, kAny, o.flights) || !number(samples, 0, kAny, o.samples)
        || !number(mask, 0, 0xFFFF, o.mask) || !number(period, 1, 60000, o.period)
        || !number(rngStart, std::numeric_limits<long>::min(), kAny, rng)
        || !number(silentAfter, 0, kAny, o.silentAfter) || !number(wrongEcho, 0, kAny, o.wrongEcho)
        || !number(hangupAfter, 0, kAny, o.hangupAfter) || !number(noiseFf, 0, kAny, o.noiseFf)
        || !number(oddFlight, 0, kAny, o.oddFlight) || !number(emptyFlight, 0, kAny, o.emptyFlight)
        || !number(baud, 0, kAny, o.baud) || !number(eraseMs, 0, kAny, o.eraseMs)
        || !number(byteMs, 0, 60000, o.byteMs))
        return false;
    o.rngStart = static_cast<unsigned>(rng);
    if (parser.isSet(badFrames) && !ParseBadFrames(parser.value(badFrames).toStdString(), o.badFrames))
        return false;
    o.fullMemory = parser.isSet(fullMemory);
    o.noise = parser.isSet(noise);
    o.junkFlood = parser.isSet(junkFlood);
    o.badConfig = parser.isSet(badConfig);
    o.exitOnStdinEof = parser.isSet(exitOnEof);
    o.verbose = parser.isSet(verbose);
    return true;
}

} // namespace simcli
