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

// The windows of the run. Set by CreateForms, cleared by DestroyForms.
extern TFormMain* FormMain;
extern TFormAssert* FormAssert;
extern TFormAnnotEdit* FormAnnotEdit;
extern TFormAnnot* FormAnnot;
extern TFormGraphSetup* FormGraphSetup;
extern TFormSettings* FormSettings;
extern TFormAbout* FormAbout;
extern TDoskComForm* DoskComForm;
extern TFormOptions* FormOptions;

// Creates the windows in order: TFormMain, TFormAssert, TFormAnnotEdit,
// TFormAnnot, TFormGraphSetup, TFormSettings, TFormAbout, TDoskComForm,
// TFormOptions. Returns the windows' object names in creation order.
QStringList CreateForms(const TStartOptions& options);
// Destroys them (the main window last).
void DestroyForms();

} // namespace qv
