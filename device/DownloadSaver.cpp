#include "device/DownloadSaver.h"

#include "base/MessageService.h"
#include "data/DataFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qv {

QString EmptyFilesText(int count)
{
    return QString::number(count)
        + (count == 1 ? QStringLiteral(" of them holds no samples.") : QStringLiteral(" of them hold no samples."));
}

QString SavePartialQuestionText(int flights)
{
    return QStringLiteral("Save the %1 complete %2 received before the error?")
        .arg(flights)
        .arg(flights == 1 ? QStringLiteral("flight") : QStringLiteral("flights"));
}

QString RawImageKeptText(int bytes, const QString& path)
{
    return QStringLiteral("Everything received (%1 bytes) is kept in %2.").arg(bytes).arg(QDir::toNativeSeparators(path));
}

QString ImageFullText(int capacity)
{
    return QStringLiteral("The logger sent more than the memory image holds (%1 bytes); the rest was not read.")
        .arg(capacity);
}

QString NoFlightText() { return QStringLiteral("The memory image holds no flight."); }

bool HoldsNoFlight(const std::uint8_t* image, std::size_t size, const TFlightBlockList& blocks)
{
    for (const TFlightBlock& b : blocks)
        if (b.SamplePeriod != 0 && b.ChannelMask != 0)
            return false;
    for (std::size_t i = 0; i < size; ++i)
        if (image[i] != 0xFF)
            return true;
    return false; // erased memory: nothing recorded, which is no fault
}

TFlightSaver::TFlightSaver(IMessageService& msgs, QObject* parent) : QObject(parent), msgs_(msgs) {}

TSaveResult TFlightSaver::SaveFlights(const std::uint8_t* image, std::size_t size, const TFlightBlockList& blocks,
                                      const TSaveOptions& options)
{
    TSaveResult result;
    if (blocks.empty())
        return result;

    const QString problem = FileNameProblem(options.DefFileName);
    if (!problem.isEmpty()) {
        result.Status = TSaveResult::NameFailed;
        result.Error = problem;
        return result;
    }
    const QString folder = DataFolder(options.Root);
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) {
        result.Status = TSaveResult::FolderFailed;
        result.Error = QStringLiteral("Cannot create ") + folder;
        return result;
    }

    const std::string date = options.DateText.empty() ? DownloadTimeStamp() : options.DateText;
    const TBaseName name = BaseNameFromSetting(options.DefFileName);
    bool ask = options.AskBeforeOverwrite;
    int number = name.FirstNumber;
    TDataBlock rec;

    // Every flight keeps its place in the numbering, also one without
    // samples, so that file numbers follow the logger's flights.
    for (const TFlightBlock& block : blocks) {
        const QString path = FlightFileName(folder, name.Base, number);
        if (ask && QFileInfo::exists(path)) {
            const Answer a = msgs_.Question(RewriteQuestionText(path), Buttons::YesNoYesToAll);
            if (a == Answer::YesToAll) {
                ask = false;
            } else if (a != Answer::Yes) {
                result.Status = TSaveResult::Stopped;
                break;
            }
        }
        BuildFlightRecord(image, size, block, date, rec);
        if (!WriteDataFile(path, rec, msgs_)) {
            // The writer has shown "Error in writing file."; a disk that
            // refuses one file refuses the next, so stop here.
            result.Status = TSaveResult::WriteFailed;
            break;
        }
        ++result.Written;
        if (SampleCount(block, size) == 0)
            ++result.Empty;
        result.Files << path;
        emit FileWritten(result.Written, path);
        ++number;
    }
    rec.Release();
    return result;
}

TDownloadResult TFlightSaver::SplitAndSave(const std::uint8_t* image, std::size_t size, const TSaveOptions& options,
                                           bool fullMemory, const QStringList& extraLines, bool complete)
{
    TDownloadResult r;
    blocks_ = SplitImage(image, size, fullMemory);
    if (complete && HoldsNoFlight(image, size, blocks_)) {
        blocks_.clear();
        emit StatusText(ReadingFinishedText(0));
        r.Save.Status = TSaveResult::NoFlight;
        r.Save.Error = (QStringList{NoFlightText()} + extraLines).join(QLatin1Char('\n'));
        return r;
    }
    r.Blocks = static_cast<int>(blocks_.size());
    emit StatusText(ReadingFinishedText(r.Blocks));
    if (blocks_.empty()) {
        if (!extraLines.isEmpty()) {
            r.Message = extraLines.join(QLatin1Char('\n'));
            msgs_.Information(r.Message);
        }
        return r;
    }
    r.Saved = true;
    r.Save = SaveFlights(image, size, blocks_, options);
    if (r.Save.Status == TSaveResult::FolderFailed || r.Save.Status == TSaveResult::NameFailed)
        return r;
    QStringList lines{FilesWrittenText(r.Save.Written)};
    if (r.Save.Empty > 0)
        lines << EmptyFilesText(r.Save.Empty);
    lines << extraLines;
    r.Message = lines.join(QLatin1Char('\n'));
    msgs_.Information(r.Message);
    return r;
}

TDownloadResult TFlightSaver::SplitImageFile(const QString& path, const TSaveOptions& options)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        TDownloadResult r;
        r.Save.Status = TSaveResult::ReadFailed;
        r.Save.Error = QStringLiteral("Error in reading file.");
        return r;
    }
    const QByteArray bytes = f.readAll();
    f.close();
    return SplitAndSave(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                        static_cast<std::size_t>(bytes.size()), options, IsFullMemorySize(bytes.size()));
}

TDownloadResult TFlightSaver::FinishDownload(const TDownloadEnd& end, const TSaveOptions& options)
{
    const std::size_t size = end.Image && end.ByteCount > 0 ? static_cast<std::size_t>(end.ByteCount) : 0;
    QString rawPath;
    QString rawError;
    if (size > 0) {
        TRawImageStore store(options.ImageFolder, options.ImageLimit);
        rawPath = store.Keep(end.Image, end.ByteCount, end.Firmware, rawError);
    }
    QStringList extra;
    if (end.ImageFull)
        extra << ImageFullText(end.ImageCapacity);
    if (!rawError.isEmpty())
        extra << QStringLiteral("The memory image could not be kept: ") + rawError;
    else if (!rawPath.isEmpty() && end.Status != TDownloadEnd::Complete)
        extra << RawImageKeptText(end.ByteCount, rawPath);

    TDownloadResult r;
    if (end.Status != TDownloadEnd::Failed) {
        r = SplitAndSave(end.Image, size, options, end.MemoryFull, extra, end.Status == TDownloadEnd::Complete);
    } else {
        // Only flights followed by their end marker are complete; what came
        // after the last marker is cut short.
        blocks_ = SplitImage(end.Image, size, false);
        r.Blocks = static_cast<int>(blocks_.size());
        bool save = false;
        if (r.Blocks > 0) {
            switch (options.Partial) {
            case TPartialSave::Save: save = true; break;
            case TPartialSave::Discard: save = false; break;
            case TPartialSave::Ask:
                save = msgs_.Question(SavePartialQuestionText(r.Blocks), Buttons::YesNo) == Answer::Yes;
                break;
            }
        }
        if (save) {
            r = SplitAndSave(end.Image, size, options, false, extra);
        } else if (!extra.isEmpty()) {
            r.Message = extra.join(QLatin1Char('\n'));
            msgs_.Information(r.Message);
        }
    }
    // A failure to save is shown as an error: say there where the data are.
    if (!r.Save.Error.isEmpty() && !rawPath.isEmpty() && !extra.contains(RawImageKeptText(end.ByteCount, rawPath)))
        r.Save.Error += QLatin1Char('\n') + RawImageKeptText(end.ByteCount, rawPath);
    r.RawImage = rawPath;
    r.RawImageError = rawError;
    return r;
}

} // namespace qv
