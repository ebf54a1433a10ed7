#pragma once
// Start-up: the program's windows, created once each in a fixed order.
#include <QString>
#include <QStringList>

class QDialog;

namespace qv {

class TFormMain;
class TFormAssert;
class TFormAnnotEdit;
class TFormAnnot;
class TFormGraphSetup;
class TFormSettings;
class TFormAbout;
class TDoskComForm;
class TFormOptions;

// What the command line says.
struct TStartOptions {
    QString IniPath;      // --ini FILE; empty: beside the executable
    QString IniReadPath;  // read instead of IniPath while that does not exist yet
    QString PortOverride; // --port NAME: this run only, not saved
    QString ExePath;      // the executable (tests may name another)
    QStringList Files;    // flight files to open, absolute
    bool NewInstance = false; // --new-instance, --ini, --port: a window of its own
    bool Help = false;    // --help: print HelpText and end
    bool Version = false; // --version: print VersionText and end
    QString HelpText;
};

TStartOptions ParseStartOptions(const QStringList& arguments);
// "Quorvel 1.1", as --version prints it.
QString VersionText();

// The windows of the run, created once each in this order: TFormMain,
// TFormAssert, TFormAnnotEdit, TFormAnnot, TFormGraphSetup, TFormSettings,
// TFormAbout, TDoskComForm, TFormOptions. The shell owns the main window and
// the assertion window; the dialogs are the main window's (its children and
// its members).
class TShell {
public:
    explicit TShell(const TStartOptions& options);
    // Destroys them, the main window last.
    ~TShell();
    TShell(const TShell&) = delete;
    TShell& operator=(const TShell&) = delete;

    TFormMain* FormMain = nullptr;
    TFormAssert* FormAssert = nullptr;
    QStringList Order; // the windows' object names in creation order
};

} // namespace qv
