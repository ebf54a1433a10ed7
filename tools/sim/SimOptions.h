#pragma once
// The simulated logger's command line: what it holds, which faults it
// injects, and the parsing of its options.
#include <map>
#include <string>

namespace simcli {

struct Options {
    std::string link;
    std::string firmware = "KAVO5 SIM 1.0";
    std::string image;
    int flights = 2;
    int samples = 600;
    unsigned mask = 0xC800;
    int period = 10;
    unsigned rngStart = 1;
    std::map<long, int> badFrames; // frame index -> times sent with a wrong check byte
    long silentAfter = -1;         // frames sent before going silent
    long wrongEcho = -1;           // frame whose acknowledgement gets a wrong echo
    long hangupAfter = -1;         // frames sent before the line is closed
    long noiseFf = -1;             // frame first sent with five 0xFF of noise and a wrong check byte
    bool fullMemory = false;       // memory full to the last byte, nothing sent after it
    long oddFlight = -1;           // generated flight with a stray byte after its samples
    long emptyFlight = -1;         // generated flight with a header and no samples
    bool badConfig = false;        // the configuration goes out with a wrong check byte
    bool noise = false;
    bool junkFlood = false;        // nothing but junk bytes, as fast as the line takes them
    long byteMs = 0;               // each byte alone, this many ms after the one before (0: off)
    long baud = 115200;            // 0: unpaced
    int eraseMs = 300;
    int ackTimeoutMs = 5000;
    bool exitOnStdinEof = false;
    bool verbose = false;
};

void Usage();
// False on an unknown option or a bad value.
bool ParseArgs(int argc, char** argv, Options& o);

} // namespace simcli
