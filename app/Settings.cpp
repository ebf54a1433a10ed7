#include "base/Numbers.h"
#include "app/Settings.h"
#include "base/CheckedWrite.h"
#include "base/Cp1250.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QStringDecoder>
#include <QStringList>
#include <QStandardPaths>
#include <QTemporaryFile>
#define SI_NO_CONVERSION // 8-bit text as it stands in the file
#include <SimpleIni.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>

namespace qv {


struct TIniFile::Impl {
    CSimpleIniA ini{false, false, false};
};

TIniFile::TIniFile() : d(std::make_unique<Impl>()) { d->ini.SetSpaces(false); }

TIniFile::~TIniFile() = default;

namespace {

// The file's text as SimpleIni should see it: a NUL ends a line (SimpleIni
// would stop reading there), and of keys that appear twice in a section
// (section and key names compared without case) only the first stays.
QByteArray FirstKeysOnly(const QByteArray& bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + 1);
    QSet<QByteArray> seen;
    QByteArray section;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\0')
            ++end;
        const QByteArray line = bytes.mid(start, end - start);
        start = end + 1;
        const QByteArray t = line.trimmed();
        if (t.startsWith('[')) {
            const qsizetype close = t.indexOf(']');
            if (close > 0)
                section = t.mid(1, close - 1).trimmed().toLower();
        } else if (!t.startsWith(';') && !t.startsWith('#')) {
            const qsizetype eq = t.indexOf('=');
            if (eq >= 0) {
                const QByteArray key = section + '\n' + t.left(eq).trimmed().toLower();
                if (seen.contains(key))
                    continue;
                seen.insert(key);
            }
        }
        out += line;
        out += '\n';
    }
    return out;
}

// A value's text: UTF-8 when the bytes are valid UTF-8, else Windows-1250.
QString DecodeValue(const char* v)
{
    const QByteArray bytes(v);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    return utf8.hasError() ? FromCp1250(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))
                           : text;
}

} // namespace

void TIniFile::Load(const QString& path)
{
    d->ini.Reset();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = FirstKeysOnly(f.readAll());
    if (d->ini.LoadData(bytes.constData(), static_cast<size_t>(bytes.size())) < 0)
        d->ini.Reset();
}

bool TIniFile::Save(const QString& path) const
{
    std::string text;
    if (d->ini.Save(text, false) < 0)
        return false;
    return WriteFileChecked(path, QByteArray(text.data(), static_cast<qsizetype>(text.size()))).Ok;
}

static QByteArray Latin(const QString& s) { return s.toLocal8Bit(); }

bool TIniFile::HasKey(const char* section, const char* key) const
{
    return d->ini.GetValue(section, key, nullptr) != nullptr;
}

QString TIniFile::ReadString(const char* section, const char* key, const QString& def) const
{
    const char* v = d->ini.GetValue(section, key, nullptr);
    return v ? DecodeValue(v) : def;
}

// The key's value as a whole number that fits an int; nothing when the key
// is missing or its value does not parse.
static std::optional<int> IntegerValue(const CSimpleIniA& ini, const char* section, const char* key)
{
    const char* v = ini.GetValue(section, key, nullptr);
    if (!v)
        return std::nullopt;
    bool ok = false;
    const qlonglong n = QByteArray(v).trimmed().toLongLong(&ok);
    if (!ok || n < INT_MIN || n > INT_MAX)
        return std::nullopt;
    return static_cast<int>(n);
}

int TIniFile::ReadInteger(const char* section, const char* key, int def) const
{
    return IntegerValue(d->ini, section, key).value_or(def);
}

bool TIniFile::ReadBool(const char* section, const char* key, bool def) const
{
    const std::optional<int> n = IntegerValue(d->ini, section, key);
    return n ? *n != 0 : def;
}

double TIniFile::ReadFloat(const char* section, const char* key, double def) const
{
    const char* v = d->ini.GetValue(section, key, nullptr);
    if (!v)
        return def;
    return ParseUserNumber(QString::fromLocal8Bit(v)).value_or(def);
}

void TIniFile::WriteString(const char* section, const char* key, const QString& value)
{
    const char* old = d->ini.GetValue(section, key, nullptr);
    if (old && DecodeValue(old) == value)
        return; // unchanged: the bytes stay as they are, whatever their code page
    d->ini.SetValue(section, key, Latin(value).constData());
}

void TIniFile::WriteInteger(const char* section, const char* key, int value)
{
    d->ini.SetValue(section, key, QByteArray::number(value).constData());
}

void TIniFile::WriteBool(const char* section, const char* key, bool value)
{
    d->ini.SetValue(section, key, value ? "1" : "0");
}

void TIniFile::WriteFloat(const char* section, const char* key, double value)
{
    QLocale loc = QLocale::system();
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    d->ini.SetValue(section, key, Latin(loc.toString(value, 'g', 15)).constData());
}

namespace {

// Values typed into the program's number boxes stay within this.
constexpr double kRealLimit = 1e9;

double ClampReal(double v, double fallback)
{
    if (!std::isfinite(v))
        return fallback;
    return std::clamp(v, -kRealLimit, kRealLimit);
}

} // namespace

void ReadAppSettings(const TIniFile& ini, TAppSettings& s)
{
    const QString root = ini.ReadString("Options", "Root", s.Root);
    if (!root.isEmpty() && QFileInfo(root).isDir())
        s.Root = QDir::cleanPath(root);
    TDeviceSettings& dev = s.Device;
    dev.Root = s.Root;
    dev.Com = ini.ReadString("Options", "COM", dev.Com);
    dev.DefFileName = ini.ReadString("Options", "DefFileName", dev.DefFileName);
    // Every value is kept within what the dialogs can set; one beyond is
    // brought to the nearest end of that range.
    dev.FlightTemperature = std::clamp(ini.ReadInteger("Options", "FlightTemperature", dev.FlightTemperature), -30, 60);
    dev.DeflectionMin = ClampReal(ini.ReadFloat("Options", "DeflectionMin", dev.DeflectionMin), dev.DeflectionMin);
    dev.DeflectionMax = ClampReal(ini.ReadFloat("Options", "DeflectionMax", dev.DeflectionMax), dev.DeflectionMax);
    dev.MarkerThreshold = ClampReal(ini.ReadFloat("Options", "MarkerThreshold", dev.MarkerThreshold), dev.MarkerThreshold);
    s.DeflectionOnGraph = ini.ReadBool("Options", "DeflectionOnGraph", s.DeflectionOnGraph);
    s.PanelLeft = std::clamp(ini.ReadInteger("Pos", "PanelLeft", s.PanelLeft), kPanelLeftMin, kPanelLeftMax);
    s.SaveWindowsPos = ini.ReadBool("Options", "SaveWindowsPos", s.SaveWindowsPos);
    s.AutoGridSize = std::clamp(ini.ReadInteger("Options", "AutoGridSize", s.AutoGridSize), 0, 1000);
    s.ShowTable = ini.ReadBool("Options", "ShowTable", s.ShowTable);
    s.TBShowLegend = ini.ReadBool("Options", "TBShowLegend", s.TBShowLegend);
    dev.RawImageLimit = ini.ReadString("Options", "RawImageLimit", dev.RawImageLimit);
}

namespace {
// The "GraphSetup" keys in the file's order, each bound to its field.
// Whole numbers carry the range the graph setup dialog offers.
struct GraphKey {
    const char* key;
    double TGraphSetupRec::*real = nullptr;
    bool TGraphSetupRec::*flag = nullptr;
    std::int32_t TGraphSetupRec::*whole = nullptr;
    int low = 0, high = 0;

    static GraphKey Float(const char* k, double TGraphSetupRec::*m) { return {k, m, nullptr, nullptr}; }
    static GraphKey Bool(const char* k, bool TGraphSetupRec::*m) { return {k, nullptr, m, nullptr}; }
    static GraphKey Int(const char* k, std::int32_t TGraphSetupRec::*m, int low, int high)
    {
        return {k, nullptr, nullptr, m, low, high};
    }
};

// Line styles and widths, mark styles and sizes as the dialog lists them.
constexpr int kLineStyleMax = 4, kLineWidthMin = 1, kLineWidthMax = 5;
constexpr int kMarkStyleMax = 8, kMarkSizeMin = 2, kMarkSizeMax = 10;

const GraphKey kGraphKeys[] = {
    GraphKey::Float("AltitudeMin", &TGraphSetupRec::AltitudeMin),
    GraphKey::Float("AltitudeMax", &TGraphSetupRec::AltitudeMax),
    GraphKey::Bool("AltitudeAuto", &TGraphSetupRec::AltitudeAuto),
    GraphKey::Int("AltitudeLStyle", &TGraphSetupRec::AltitudeLStyle, 0, kLineStyleMax),
    GraphKey::Int("AltitudeLWidth", &TGraphSetupRec::AltitudeLWidth, kLineWidthMin, kLineWidthMax),
    GraphKey::Float("PowerSupMin", &TGraphSetupRec::PowerSupMin),
    GraphKey::Float("PowerSupMax", &TGraphSetupRec::PowerSupMax),
    GraphKey::Bool("PowerSupAuto", &TGraphSetupRec::PowerSupAuto),
    GraphKey::Int("PowerSupLStyle", &TGraphSetupRec::PowerSupLStyle, 0, kLineStyleMax),
    GraphKey::Int("PowerSupLWidth", &TGraphSetupRec::PowerSupLWidth, kLineWidthMin, kLineWidthMax),
    GraphKey::Float("RXMin", &TGraphSetupRec::RXMin),
    GraphKey::Float("RXMax", &TGraphSetupRec::RXMax),
    GraphKey::Bool("RXAuto", &TGraphSetupRec::RXAuto),
    GraphKey::Int("RXLStyle", &TGraphSetupRec::RXLStyle, 0, kLineStyleMax),
    GraphKey::Int("RXLWidth", &TGraphSetupRec::RXLWidth, kLineWidthMin, kLineWidthMax),
    GraphKey::Float("TimeMin", &TGraphSetupRec::TimeMin),
    GraphKey::Float("TimeMax", &TGraphSetupRec::TimeMax),
    GraphKey::Bool("TimeAuto", &TGraphSetupRec::TimeAuto),
    GraphKey::Int("AnnotMarkStyle", &TGraphSetupRec::AnnotMarkStyle, 0, kMarkStyleMax),
    GraphKey::Int("AnnotMarkSize", &TGraphSetupRec::AnnotMarkSize, kMarkSizeMin, kMarkSizeMax),
    GraphKey::Int("MarkerMarkStyle", &TGraphSetupRec::MarkerMarkStyle, 0, kMarkStyleMax),
    GraphKey::Int("MarkerMarkSize", &TGraphSetupRec::MarkerMarkSize, kMarkSizeMin, kMarkSizeMax),
};
const char* const kGraphSection = "GraphSetup";
} // namespace

void ReadGraphSetup(const TIniFile& ini, TGraphSetupRec& g)
{
    for (const GraphKey& k : kGraphKeys) {
        if (k.real)
            g.*k.real = ClampReal(ini.ReadFloat(kGraphSection, k.key, g.*k.real), g.*k.real);
        else if (k.flag)
            g.*k.flag = ini.ReadBool(kGraphSection, k.key, g.*k.flag);
        else
            g.*k.whole = std::clamp(ini.ReadInteger(kGraphSection, k.key, g.*k.whole), k.low, k.high);
    }
}

void WriteAppSettings(TIniFile& ini, const TAppSettings& s, const TGraphSetupRec* graph)
{
    const TDeviceSettings& dev = s.Device;
    ini.WriteString("Options", "Root", s.Root);
    ini.WriteString("Options", "COM", dev.Com);
    ini.WriteString("Options", "DefFileName", dev.DefFileName);
    ini.WriteInteger("Options", "FlightTemperature", dev.FlightTemperature);
    ini.WriteFloat("Options", "MarkerThreshold", dev.MarkerThreshold);
    ini.WriteFloat("Options", "DeflectionMin", dev.DeflectionMin);
    ini.WriteFloat("Options", "DeflectionMax", dev.DeflectionMax);
    ini.WriteBool("Options", "DeflectionOnGraph", s.DeflectionOnGraph);
    ini.WriteInteger("Pos", "PanelLeft", s.PanelLeft);
    ini.WriteBool("Options", "SaveWindowsPos", s.SaveWindowsPos);
    ini.WriteInteger("Options", "AutoGridSize", s.AutoGridSize);
    ini.WriteBool("Options", "ShowTable", s.ShowTable);
    ini.WriteBool("Options", "TBShowLegend", s.TBShowLegend);
    ini.WriteString("Options", "RawImageLimit", dev.RawImageLimit);
    if (!graph)
        return;
    for (const GraphKey& k : kGraphKeys) {
        if (k.real)
            ini.WriteFloat(kGraphSection, k.key, (*graph).*k.real);
        else if (k.flag)
            ini.WriteBool(kGraphSection, k.key, (*graph).*k.flag);
        else
            ini.WriteInteger(kGraphSection, k.key, (*graph).*k.whole);
    }
}

bool IsSystemProgramFolder(const QString& dir)
{
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    const QString path = QDir::cleanPath(canonical.isEmpty() ? dir : canonical);
    static const QStringList system{"/bin", "/sbin", "/usr/bin", "/usr/sbin", "/usr/games",
                                    "/usr/local/bin", "/usr/local/sbin", "/usr/local/games"};
    return system.contains(path) || path.startsWith(QStringLiteral("/opt/"));
}

QString DefaultDataRoot(const QString& exeDir)
{
    const QString dir = QDir::cleanPath(exeDir);
    if (IsSystemProgramFolder(dir)) {
        // An installed program keeps the flights in the user's documents.
        QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (documents.isEmpty())
            documents = QDir::homePath();
        const QString data = QDir(documents).filePath(QStringLiteral("Quorvel"));
        return QDir().mkpath(data) ? data : QDir::cleanPath(documents);
    }
    const QString data = QDir(dir).filePath(QStringLiteral("Data"));
    return QFileInfo(data).isDir() ? data : dir;
}

TSettingsFiles ChooseSettingsFiles(const QString& besidePath, const QString& userPath, bool besideWritable)
{
    if (besideWritable)
        return {besidePath, besidePath};
    return {QFileInfo::exists(userPath) ? userPath : besidePath, userPath};
}

TSettingsFiles DefaultSettingsFiles(const QString& exePath)
{
    const QFileInfo exe(exePath);
    const QString name = exe.completeBaseName() + QStringLiteral(".ini");
    const QString beside = exe.absoluteDir().filePath(name);
    bool writable = false;
    if (IsSystemProgramFolder(exe.absolutePath())) {
        writable = false; // not even for root: one user's settings are not the system's
    } else if (QFileInfo::exists(beside)) {
        writable = QFileInfo(beside).isWritable();
    } else {
        QTemporaryFile probe(exe.absoluteDir().filePath(QStringLiteral("probe-XXXXXX")));
        writable = probe.open();
    }
    const QString configDir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (!writable)
        QDir().mkpath(configDir);
    return ChooseSettingsFiles(beside, QDir(configDir).filePath(name), writable);
}

int AutoFirstColumnWidth(int autoGridSize, int clientWidth, int columnCount, int defaultColumnWidth)
{
    if (autoGridSize <= 7)
        return -1;
    const int w = clientWidth - (columnCount - 1) * defaultColumnWidth - columnCount;
    return qMax(w, autoGridSize);
}

} // namespace qv

namespace qv {

QString RootCaption(const QString& path)
{
    return path.size() <= 30 ? path : QStringLiteral("...") + path.right(30);
}

bool IsFileNameCharAllowed(QChar c)
{
    return !QStringLiteral("\"*/:<>?\\|").contains(c);
}

QString FormatThreshold(double value)
{
    return QString::number(value, 'f', 2).trimmed();
}

} // namespace qv
