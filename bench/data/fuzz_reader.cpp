// libFuzzer target of the flight file reader. Any input must either load or
// fail with a format error, never crash or read out of bounds; a record that
// loaded satisfies the record's invariants, and writing it, reading that
// back and writing again gives the same bytes.
#include "data/DataFile.h"
#include "base/MessageService.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

class SilentMessages : public qv::IMessageService {
public:
    void Error(const QString&) override { ++Errors; }
    void Information(const QString&) override {}
    qv::Answer Question(const QString&, qv::Buttons) override { return qv::Answer::No; }
    QString OpenFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString SaveFileName(const QString&, const QString&, const QString&, const QString&) override { return {}; }
    QString ExistingDirectory(const QString&, const QString&) override { return {}; }
    int Errors = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SilentMessages msgs;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    qv::TDataBlock block;
    block.NotesStream();
    int n = 0;
    try {
        n = qv::ParseDataFile(input, block, msgs);
    } catch (const qv::DataFileError&) {
        return 0;
    }
    if (msgs.Errors > 0) {
        // A read failure leaves the record as it was.
        if (n != 0 || block.SampleCount() != 0 || !block.Date.empty())
            std::abort();
        return 0;
    }
    if (n != block.SampleCount() || !block.CheckInvariants().isEmpty())
        std::abort();

    const std::string first = qv::FormatDataFile(block);
    qv::TDataBlock again;
    again.NotesStream();
    int m = -1;
    try {
        m = qv::ParseDataFile(first, again, msgs);
    } catch (const qv::DataFileError&) {
        std::abort(); // the writer produced a file its reader refuses
    }
    if (m != n || msgs.Errors > 0 || qv::FormatDataFile(again) != first)
        std::abort();
    return 0;
}
