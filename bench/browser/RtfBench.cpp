// Speed of the notes' RTF reader and writer on 1 MB of notes as a
// rich-edit control writes them (quorvel-bench-rtf [megabytes]). Prints
// MB/s (processor time) of reading and writing the formatted text, and of
// the whole way into and out of a text document as the notes editor does it.
#include "browser/Notes.h"
#include "browser/Rtf.h"

#include <QGuiApplication>
#include <QTextDocument>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string makeNotes(std::size_t bytes)
{
    std::string s = "{\\rtf1\\ansi\\ansicpg1250\\deff0\\deflang1029{\\fonttbl{\\f0\\fswiss\\fcharset238 Arial;}"
                    "{\\f1\\froman\\fcharset238 Times New Roman CE;}{\\f2\\fmodern\\fcharset238 Courier New;}}\r\n"
                    "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue128;}\r\n"
                    "\\viewkind4\\uc1\\pard\\f0\\fs20 ";
    static const char* const paragraphs[] = {
        "Vzlet v 10:42, v\\'ed\\'f8 3 m/s od z\\'e1padu, \\b stoupav\\'e1 \\'e8\\'e1st\\b0  bez pot\\'ed\\'9e\\'ed.\\par\r\n",
        "\\pard\\qc\\f1\\fs28\\i P\\'f8ist\\'e1n\\'ed na \\'9aikm\\'e9 ploch\\'e9\\i0\\par\r\n",
        "\\pard\\qr\\f2\\fs18\\cf1 Tah 412 N, servo 63 %, nap\\'ect\\'ed 7,9 V\\cf0\\par\r\n",
        "\\pard\\f0\\fs20\\ul \\'da\\'9ekl\\'e1dat\\ulnone : p\\'f8\\'ed\\'9at\\'ec zkusit del\\'9a\\'ed tah\\u8230?\\par\r\n",
    };
    std::size_t i = 0;
    while (s.size() < bytes)
        s += paragraphs[i++ % 4];
    s += "}";
    return s;
}

// Processor time of this process: on a shared machine the wall clock
// measures the other programs too.
double cpuNow()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

double seconds(double t0) { return cpuNow() - t0; }

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const double mb = argc > 1 ? std::atof(argv[1]) : 1.0;
    const std::string rtf = makeNotes(static_cast<std::size_t>(mb * 1024 * 1024));
    const double size = rtf.size() / (1024.0 * 1024.0);
    constexpr int kRounds = 10;

    double t0 = cpuNow();
    qv::TRichDocument doc;
    for (int r = 0; r < kRounds; ++r)
        doc = qv::ReadRtf(rtf);
    const double read = seconds(t0) / kRounds;

    t0 = cpuNow();
    std::string out;
    for (int r = 0; r < kRounds; ++r)
        out = qv::WriteRtf(doc);
    const double write = seconds(t0) / kRounds;
    const double outSize = out.size() / (1024.0 * 1024.0);

    t0 = cpuNow();
    QTextDocument text;
    qv::LoadNotes(rtf, text);
    const double load = seconds(t0);
    t0 = cpuNow();
    const std::string saved = qv::SaveNotes(text);
    const double save = seconds(t0);

    std::printf("notes RTF: %.2f MB in, %zu paragraphs, %.2f MB written\n", size, doc.Paragraphs.size(), outSize);
    std::printf("read  RTF -> formatted text : %8.1f MB/s (%.1f ms)\n", size / read, read * 1e3);
    std::printf("write formatted text -> RTF : %8.1f MB/s (%.1f ms)\n", outSize / write, write * 1e3);
    std::printf("load  RTF -> text document  : %8.1f MB/s (%.1f ms)\n", size / load, load * 1e3);
    std::printf("save  text document -> RTF  : %8.1f MB/s (%.1f ms)\n", saved.size() / (1024.0 * 1024.0) / save,
                save * 1e3);
    return saved == out ? 0 : 1;
}
