#pragma once
// The settings file: an INI file read when the main window is first shown
// and written when it closes. Unknown sections and keys survive a write.
#include "base/DeviceSettings.h"
#include "graph/GraphSetup.h"

#include <QString>
#include <memory>
#include <optional>


namespace qv {

// Widths the left panel may have, in pixels.
constexpr int kPanelLeftMin = 80;
constexpr int kPanelLeftMax = 4000;

// Values of the "Options" and "Pos" sections held by the main window.
struct TAppSettings {
    QString Root;                 // data root, no trailing delimiter
    TDeviceSettings Device;       // handed to the device dialog
    bool DeflectionOnGraph = false;
    int PanelLeft = 233;       // kPanelLeftMin..kPanelLeftMax, and within the window
    bool SaveWindowsPos = true;
    int AutoGridSize = 10;
    bool ShowTable = true;
    bool TBShowLegend = false;
};

// Thin INI access on SimpleIni: plain key=value, no escaping, 8-bit text.
// Values are read as UTF-8 when they are valid UTF-8, else as Windows-1250;
// a value written back unchanged keeps its bytes. Of keys that appear twice
// in a section the first counts, as with the Windows profile functions, and
// a NUL byte ends its line without hiding the lines after it.
class TIniFile {
public:
    TIniFile();
    ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    // Loads a file; a missing or unreadable file gives an empty one.
    void Load(const QString& path);
    // Writes atomically; false when the file cannot be written.
    bool Save(const QString& path) const;

    bool HasKey(const char* section, const char* key) const;
    QString ReadString(const char* section, const char* key, const QString& def) const;
    int ReadInteger(const char* section, const char* key, int def) const;
    bool ReadBool(const char* section, const char* key, bool def) const;
    // Accepts "." and the system's decimal separator.
    double ReadFloat(const char* section, const char* key, double def) const;

    void WriteString(const char* section, const char* key, const QString& value);
    void WriteInteger(const char* section, const char* key, int value);
    void WriteBool(const char* section, const char* key, bool value);
    // In the system's number format.
    void WriteFloat(const char* section, const char* key, double value);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Reads the table's keys in order, each defaulting to the current value.
// "Root" is taken only when its folder exists.
void ReadAppSettings(const TIniFile& ini, TAppSettings& s);
void ReadGraphSetup(const TIniFile& ini, TGraphSetupRec& g);
// Writes the "Options" and "Pos" keys in the file's order; the graph
// section only when given.
void WriteAppSettings(TIniFile& ini, const TAppSettings& s, const TGraphSetupRec* graph);

// Whether a folder is one of the system's program folders (/usr/bin,
// /usr/local/bin, /opt/..., ...), where an installed program lives.
bool IsSystemProgramFolder(const QString& dir);
// Data root at creation: the executable's "Data" subfolder when it exists,
// else the executable's folder. An installed program (in a system program
// folder) uses the folder "Quorvel" of the user's documents, made when
// missing.
QString DefaultDataRoot(const QString& exeDir);

// Where the settings are read from and written to.
struct TSettingsFiles {
    QString Read;
    QString Write;
};

// The file beside the executable is read whenever it is there; it is also
// written when it can be (or created where it is missing), unless the
// executable is installed in a system program folder. Otherwise the
// copy in the user's configuration folder is written, and read in its
// place once it exists.
TSettingsFiles ChooseSettingsFiles(const QString& besidePath, const QString& userPath, bool besideWritable);
// The same for the executable's path with ".ini" and the user's
// configuration folder, after finding out whether the file beside the
// executable can be written.
TSettingsFiles DefaultSettingsFiles(const QString& exePath);

// First column of the open-files grid: -1 when automatic sizing is off
// (auto grid size 7 or less), else the width that fills the client area,
// never less than the auto grid size.
int AutoFirstColumnWidth(int autoGridSize, int clientWidth, int columnCount, int defaultColumnWidth);


} // namespace qv

namespace qv {

// Options dialog helpers.
// The root label's caption: the path itself up to 30 characters, else "..."
// and its last 30 characters.
QString RootCaption(const QString& path);
// Characters a default file name may not take: " * / : < > ? \ |
bool IsFileNameCharAllowed(QChar c);
// A threshold as the dialog shows it: two decimals, no leading blanks.
QString FormatThreshold(double value);

} // namespace qv
