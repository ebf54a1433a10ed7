// kavo5-sim: a simulated Kavo5 logger behind a pseudo-terminal, for trying
// the device dialog without hardware, for end-to-end tests and for the
// download benchmark.
//
// The first line on stdout is the path of the terminal to open (the pty's
// slave, or the --link path). The logger announces itself with "*" every
// half second until the host sends a command, answers "F", "R", "W", "E"
// and "D" and sends its memory in 265-byte frames, each waiting for "O"
// (next frame) or "X" (same frame again). Past the end of its memory it
// sends 0xFF. Faults can be injected; see usage().
#include "device/DeviceConfig.h"
#include "device/SimMemory.h"
#include "tools/sim/SimOptions.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <random>
#include <type_traits>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

using simcli::Options;

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

// The simulated line: the pty master, paced like a serial line.
class Line {
public:
    Line(int master, const Options& o) : fd_(master), opt_(o)
    {
        if (o.baud > 0)
            byteTime_ = std::chrono::nanoseconds(10'000'000'000LL / o.baud);
        if (o.byteMs > 0) {
            byteTime_ = std::chrono::milliseconds(o.byteMs);
            chunk_ = 1;
        }
    }

    bool IsOpen() const { return fd_ >= 0; }
    void Hangup()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    // Sends bytes; paced lines deliver them in small chunks at the time
    // the last byte of the chunk would have arrived.
    void Send(const quint8* data, size_t n)
    {
        if (fd_ < 0)
            return;
        if (byteTime_.count() == 0) {
            WriteAll(data, n);
            return;
        }
        // Bytes follow one another on the wire: deadlines are absolute, so
        // a late wake-up does not delay the bytes after it. Only an idle
        // line starts the clock again.
        const auto now = Clock::now();
        if (now > wireFree_ + std::chrono::milliseconds(1))
            wireFree_ = now;
        for (size_t off = 0; off < n; off += chunk_) {
            const size_t len = std::min(chunk_, n - off);
            wireFree_ += byteTime_ * static_cast<long>(len);
            std::this_thread::sleep_until(wireFree_);
            WriteAll(data + off, len);
        }
    }
    void Send(char c)
    {
        const quint8 b = static_cast<quint8>(c);
        Send(&b, 1);
    }

    // One byte from the host within timeoutMs (-1: no limit). Returns
    // false on time-out, stop request or a closed stdin when watched.
    bool Receive(quint8& b, int timeoutMs)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!g_stop && fd_ >= 0) {
            int wait = 200;
            if (timeoutMs >= 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - Clock::now()).count();
                if (left <= 0)
                    return false;
                wait = static_cast<int>(std::min<long long>(left, 200));
            }
            pollfd p[2] = {{fd_, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
            const int n = ::poll(p, opt_.exitOnStdinEof ? 2 : 1, wait);
            if (n < 0 && errno != EINTR)
                return false;
            if (n <= 0)
                continue;
            if (opt_.exitOnStdinEof && (p[1].revents & (POLLIN | POLLHUP))) {
                char c;
                if (::read(STDIN_FILENO, &c, 1) <= 0) {
                    g_stop = 1;
                    return false;
                }
            }
            if (p[0].revents & POLLIN) {
                if (::read(fd_, &b, 1) == 1) {
                    // The byte needed its time on the wire before we could see it.
                    if (byteTime_.count()) {
                        const auto now = Clock::now();
                        if (now > wireFree_)
                            wireFree_ = now;
                        wireFree_ += byteTime_;
                        std::this_thread::sleep_until(wireFree_);
                    }
                    return true;
                }
            } else if (p[0].revents & (POLLHUP | POLLERR)) {
                // Nobody holds the other side: wait a little and look again.
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        return false;
    }

    // Junk without end, as fast as the other side takes it (at the pace of
    // the line when paced); what the host sends is read and dropped. Ends
    // on a stop request or a closed stdin when watched.
    void Flood(unsigned start)
    {
        std::minstd_rand bytes(start ? start : 1u);
        quint8 junk[64];
        while (!g_stop && fd_ >= 0) {
            for (auto& x : junk) {
                x = static_cast<quint8>(bytes() >> 8);
                if (std::strchr("*FRWEDOX", x) && x != 0)
                    x = '.'; // never a command letter
            }
            pollfd p[2] = {{fd_, POLLIN | POLLOUT, 0}, {STDIN_FILENO, POLLIN, 0}};
            if (::poll(p, opt_.exitOnStdinEof ? 2 : 1, 200) <= 0)
                continue;
            if (opt_.exitOnStdinEof && (p[1].revents & (POLLIN | POLLHUP))) {
                char c;
                if (::read(STDIN_FILENO, &c, 1) <= 0)
                    return;
            }
            if (p[0].revents & POLLIN) {
                quint8 drop[64];
                (void)!::read(fd_, drop, sizeof drop);
            }
            if (p[0].revents & POLLOUT)
                Send(junk, byteTime_.count() ? chunk_ : sizeof junk);
            else if (p[0].revents & (POLLHUP | POLLERR))
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

private:
    void WriteAll(const quint8* data, size_t n)
    {
        while (n > 0 && fd_ >= 0) {
            const ssize_t w = ::write(fd_, data, n);
            if (w < 0) {
                if (errno == EINTR && !g_stop)
                    continue;
                if (errno == EAGAIN) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    continue;
                }
                return;
            }
            data += w;
            n -= static_cast<size_t>(w);
        }
    }

    int fd_;
    const Options& opt_;
    std::chrono::nanoseconds byteTime_{0};
    size_t chunk_ = 24; // bytes handed to the terminal at once on a paced line
    Clock::time_point wireFree_ = Clock::now();
};

class Logger {
public:
    Logger(Line& line, Options& o) : line_(line), opt_(o)
    {
        // A plausible configuration: traction, servo and supply recorded,
        // 0.1 s period, start immediately, stop at power off, 6 V watch.
        cfg_.SetChannelRecorded(1, true);
        cfg_.SetChannelRecorded(2, true);
        cfg_.SetChannelRecorded(5, true);
        cfg_.SetPeriod(static_cast<quint16>(o.period));
        cfg_.SetStartMode(qv::StartImmediately);
        cfg_.SetFinishMode(qv::FinishOnPowerOff);
        cfg_.SetStartDelay(10);
        cfg_.SetStartAltitude(50);
        cfg_.SetFinishTime(30);
        cfg_.SetVoltageThreshold(6.0);
        cfg_.SetNumber(1, 1);
        cfg_.SetNumber(2, 2);
        cfg_.SetNumber(3, 3);
        firmware_.assign(o.firmware.begin(), o.firmware.end());
        firmware_.resize(qv::kFirmwareSize, ' ');
    }

    void setMemory(std::vector<quint8> m) { memory_ = std::move(m); }

    int Run()
    {
        if (opt_.junkFlood) {
            line_.Flood(junk_);
            return 0;
        }
        Announce();
        while (!g_stop && line_.IsOpen()) {
            quint8 b = 0;
            if (!line_.Receive(b, -1))
                break;
            if (silent_)
                continue;
            Handle(b);
        }
        return 0;
    }

private:
    void log(const char* fmt, long v = 0)
    {
        if (opt_.verbose) {
            std::fprintf(stderr, fmt, v);
            std::fputc('\n', stderr);
        }
    }

    // "*", after a burst of junk when --noise is given.
    void SendAnnouncement()
    {
        if (opt_.noise) {
            quint8 j[5];
            for (auto& x : j) {
                junk_ = junk_ * 1103515245u + 12345u;
                x = static_cast<quint8>(junk_ >> 16);
                if (std::strchr("*FRWEDOX", x) && x != 0)
                    x = '.'; // junk, but never a command letter
            }
            line_.Send(j, sizeof j);
        }
        line_.Send('*');
    }

    // "*" every half second until the host sends a command.
    void Announce()
    {
        while (!g_stop && line_.IsOpen()) {
            SendAnnouncement();
            const auto until = Clock::now() + std::chrono::milliseconds(500);
            while (!g_stop) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    until - Clock::now()).count();
                if (left <= 0)
                    break;
                quint8 b = 0;
                if (!line_.Receive(b, static_cast<int>(left)))
                    continue;
                if (b == '*') {
                    SendAnnouncement(); // the host's wake-up: answer at once
                    continue;
                }
                Handle(b); // a command: the host has heard us
                return;
            }
        }
    }

    void Handle(quint8 b)
    {
        switch (b) {
        case 'F':
            log("F");
            line_.Send('F');
            line_.Send(firmware_.data(), firmware_.size());
            break;
        case 'R': {
            log("R");
            quint8 frame[qv::kFrameSize];
            std::copy(cfg_.bytes.begin(), cfg_.bytes.end(), frame);
            frame[qv::kConfigSize] = cfg_.Checksum();
            if (opt_.badConfig)
                frame[qv::kConfigSize] ^= 0x21;
            line_.Send('R');
            line_.Send(frame, sizeof frame);
            break;
        }
        case 'W': {
            log("W");
            qv::TDeviceConfig in;
            for (int i = 0; i < qv::kConfigSize; ++i)
                if (!line_.Receive(in.bytes[i], 2000))
                    return; // incomplete: keep the old configuration
            cfg_ = in;
            break;
        }
        case 'E':
            log("E");
            line_.Send('E');
            std::this_thread::sleep_for(std::chrono::milliseconds(opt_.eraseMs));
            memory_.clear();
            line_.Send('E');
            break;
        case '*':
            SendAnnouncement(); // a host (re)connecting wakes us up
            break;
        case 'D':
            log("D");
            line_.Send('D');
            Download();
            break;
        default:
            break;
        }
    }

    void SendFrame(long index, bool badChecksum, bool ffNoise)
    {
        quint8 frame[qv::kFrameSize];
        const size_t base = static_cast<size_t>(index) * qv::kConfigSize;
        for (int i = 0; i < qv::kConfigSize; ++i)
            frame[i] = base + i < memory_.size() ? memory_[base + i] : 0xFF;
        frame[qv::kConfigSize] = qv::FrameChecksum(frame, qv::kConfigSize);
        if (badChecksum)
            frame[qv::kConfigSize] ^= 0x5A;
        if (ffNoise) // the line turns five bytes into 0xFF; the check byte no longer fits
            std::fill(frame + 100, frame + 105, quint8(0xFF));
        line_.Send(frame, sizeof frame);
    }

    void Download()
    {
        std::map<long, int> bad = opt_.badFrames;
        bool noiseLeft = opt_.noiseFf >= 0;
        // A full memory is all there is: after its last frame nothing comes.
        const long frames = opt_.fullMemory
            ? static_cast<long>((memory_.size() + qv::kConfigSize - 1) / qv::kConfigSize) : -1;
        long index = 0;
        for (;;) {
            if (frames >= 0 && index >= frames) {
                log("memory full after %ld frames", index);
                return;
            }
            if (opt_.hangupAfter >= 0 && framesSent_ >= opt_.hangupAfter) {
                // Half a frame goes out, then the line drops.
                log("hang-up after %ld frames", framesSent_);
                quint8 half[qv::kConfigSize / 2];
                std::fill(std::begin(half), std::end(half), quint8(0x11));
                line_.Send(half, sizeof half);
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                line_.Hangup();
                return;
            }
            if (opt_.silentAfter >= 0 && framesSent_ >= opt_.silentAfter) {
                log("silent after %ld frames", framesSent_);
                silent_ = true;
                return;
            }
            auto it = bad.find(index);
            const bool badChecksum = it != bad.end() && it->second > 0;
            if (badChecksum)
                --it->second;
            const bool ffNoise = noiseLeft && index == opt_.noiseFf;
            if (ffNoise)
                noiseLeft = false;
            SendFrame(index, badChecksum, ffNoise);
            ++framesSent_;
            quint8 ack = 0;
            if (!line_.Receive(ack, opt_.ackTimeoutMs))
                return; // the host has finished (end of data) or gone
            if (ack == 'O' || ack == 'X') {
                char echo = static_cast<char>(ack);
                if (index == opt_.wrongEcho)
                    echo = ack == 'O' ? 'X' : 'O';
                line_.Send(echo);
                if (ack == 'O')
                    ++index;
                continue;
            }
            Handle(ack); // a new command: this download is over
            return;
        }
    }

    Line& line_;
    Options& opt_;
    qv::TDeviceConfig cfg_;
    std::vector<quint8> firmware_;
    std::vector<quint8> memory_;
    long framesSent_ = 0;
    bool silent_ = false;
    unsigned junk_ = 0x5A;
};

} // namespace

int main(int argc, char** argv)
{
    Options opt;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            simcli::Usage();
            return 0;
        }
    if (!simcli::ParseArgs(argc, argv, opt)) {
        simcli::Usage();
        return 2;
    }

    std::vector<quint8> memory;
    if (!opt.image.empty()) {
        std::ifstream in(opt.image, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "kavo5-sim: cannot read %s\n", opt.image.c_str());
            return 1;
        }
        memory.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } else {
        qv::sim::FlightShape shape;
        shape.mask = static_cast<quint16>(opt.mask);
        shape.period = static_cast<quint16>(opt.period);
        shape.samples = opt.samples;
        if (opt.fullMemory) {
            const bool kavo5 = opt.firmware.find("KAVO5") != std::string::npos;
            memory = qv::sim::BuildFullMemory(kavo5 ? qv::kMemorySizeKavo5 : qv::kMemorySizeOther, opt.flights,
                                              shape, opt.rngStart);
        } else {
            for (int k = 0; k < opt.flights; ++k) {
                qv::sim::FlightShape s = shape;
                if (k == opt.emptyFlight)
                    s.samples = 0;
                qv::sim::AppendFlight(memory, s, opt.rngStart + static_cast<unsigned>(k));
                if (k == opt.oddFlight)
                    memory.push_back(0x50); // a sample cut short
            }
            memory.insert(memory.end(), 8, 0xFF);
        }
    }

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("kavo5-sim: pseudo-terminal");
        return 1;
    }
    const char* slaveName = ::ptsname(master);
    if (!slaveName) {
        std::perror("kavo5-sim: ptsname");
        return 1;
    }
    const std::string slavePath = slaveName;
    // Hold the other side open ourselves, so that the line stays up while
    // no host is connected; the terminal starts raw.
    const int slave = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        std::perror("kavo5-sim: open slave");
        return 1;
    }
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
    }

    std::string shown = slavePath;
    if (!opt.link.empty()) {
        ::unlink(opt.link.c_str());
        if (::symlink(slavePath.c_str(), opt.link.c_str()) != 0) {
            std::perror("kavo5-sim: symlink");
            return 1;
        }
        shown = opt.link;
    }

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    ::prctl(PR_SET_TIMERSLACK, 1UL); // pacing wants punctual wake-ups

    std::printf("%s\n", shown.c_str());
    std::fflush(stdout);

    Line line(master, opt);
    Logger logger(line, opt);
    logger.setMemory(std::move(memory));
    const int rc = logger.Run();

    line.Hangup();
    ::close(slave);
    if (!opt.link.empty())
        ::unlink(opt.link.c_str());
    return rc;
}
