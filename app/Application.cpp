#include "app/Application.h"

#include "annot/Annot.h"
#include "annot/AnnotEdit.h"
#include "app/AssertDlg.h"
#include "app/MainFrm.h"
#include "app/Options.h"
#include "app/WinStates.h"
#include "base/Version.h"
#include "device/DoskComUnit.h"
#include "graph/GraphPage.h"
#include "graph/GraphSetupfrm.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

namespace qv {

TFormMain* FormMain = nullptr;
TFormAssert* FormAssert = nullptr;
TFormAnnotEdit* FormAnnotEdit = nullptr;
TFormAnnot* FormAnnot = nullptr;
TFormGraphSetup* FormGraphSetup = nullptr;
TFormSettings* FormSettings = nullptr;
TFormAbout* FormAbout = nullptr;
TDoskComForm* DoskComForm = nullptr;
TFormOptions* FormOptions = nullptr;

TStartOptions ParseStartOptions(const QStringList& arguments)
{
    TStartOptions o;
    o.ExePath = arguments.isEmpty() ? QCoreApplication::applicationFilePath() : arguments.first();
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quorvel, the companion program of the Kavo5 data logger."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and end."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and end."));
    const QCommandLineOption ini(QStringLiteral("ini"), QStringLiteral("Settings file to use (a window of its own)."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Serial port for this run only (a window of its own)."),
                                  QStringLiteral("NAME"));
    const QCommandLineOption newInstance(QStringLiteral("new-instance"),
                                         QStringLiteral("Open a window of its own, even when Quorvel runs already."));
    parser.addOptions({help, version, ini, port, newInstance});
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Flight files (.kdf) to open on the graph page; when Quorvel runs "
                                                "already, its window opens them."),
                                 QStringLiteral("[FILE.kdf...]"));
    // Options the program does not know (Qt's own, say) are left alone.
    parser.parse(arguments.isEmpty() ? QStringList{o.ExePath} : arguments);
    o.IniPath = parser.value(ini);
    o.PortOverride = parser.value(port);
    o.Help = parser.isSet(help);
    o.Version = parser.isSet(version);
    // A settings file or port of its own is a run of its own: the window
    // that runs could not follow them.
    o.NewInstance = parser.isSet(newInstance) || parser.isSet(ini) || parser.isSet(port);
    for (const QString& file : parser.positionalArguments())
        o.Files << QFileInfo(file).absoluteFilePath();
    o.HelpText = parser.helpText();
    return o;
}

QString VersionText() { return QStringLiteral("Quorvel ") + ProgramVersion(); }

QStringList CreateForms(const TStartOptions& options)
{
    QStringList order;
    auto made = [&order](QObject* w) { order << w->objectName(); };
    FormMain = new TFormMain(options);
    made(FormMain);
    FormAssert = new TFormAssert();
    made(FormAssert);
    FormAnnotEdit = new TFormAnnotEdit(FormMain);
    made(FormAnnotEdit);
    FormAnnot = new TFormAnnot(*FormAnnotEdit, FormMain);
    made(FormAnnot);
    FormGraphSetup = new TFormGraphSetup(FormMain);
    made(FormGraphSetup);
    FormMain->GraphPage->SetGraphSetupForm(FormGraphSetup);
    FormSettings = new TFormSettings(FormMain);
    made(FormSettings);
    FormAbout = new TFormAbout(FormMain);
    made(FormAbout);
    DoskComForm = new TDoskComForm(FormMain);
    made(DoskComForm);
    FormOptions = new TFormOptions(FormMain);
    made(FormOptions);
    TWinStates& states = FormMain->WinStates;
    for (TBareForm* form : {static_cast<TBareForm*>(FormAnnotEdit), static_cast<TBareForm*>(FormAnnot),
                            static_cast<TBareForm*>(FormGraphSetup), static_cast<TBareForm*>(FormOptions)})
        QObject::connect(form, &TBareForm::Showing, form,
                         [&states](QWidget* w) { states.Restore(w, w->objectName()); });
    return order;
}

void DestroyForms()
{
    delete FormAssert;
    FormAssert = nullptr;
    // The dialogs are children of the main window.
    delete FormMain;
    FormMain = nullptr;
    FormAnnotEdit = nullptr;
    FormAnnot = nullptr;
    FormGraphSetup = nullptr;
    FormSettings = nullptr;
    FormAbout = nullptr;
    DoskComForm = nullptr;
    FormOptions = nullptr;
}

} // namespace qv
