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

TShell::TShell(const TStartOptions& options)
{
    auto made = [this](QObject* w) { Order << w->objectName(); };
    FormMain = new TFormMain(options);
    TFormMain& main = *FormMain;
    made(FormMain);
    FormAssert = new TFormAssert();
    made(FormAssert);
    main.FormAnnotEdit = new TFormAnnotEdit(FormMain);
    made(main.FormAnnotEdit);
    main.FormAnnot = new TFormAnnot(*main.FormAnnotEdit, FormMain);
    made(main.FormAnnot);
    main.FormGraphSetup = new TFormGraphSetup(FormMain);
    made(main.FormGraphSetup);
    main.GraphPage->SetGraphSetupForm(main.FormGraphSetup);
    main.FormSettings = new TFormSettings(FormMain);
    made(main.FormSettings);
    main.FormAbout = new TFormAbout(FormMain);
    made(main.FormAbout);
    main.DoskComForm = new TDoskComForm(FormMain);
    made(main.DoskComForm);
    main.FormOptions = new TFormOptions(FormMain);
    made(main.FormOptions);
    TWinStates& states = main.WinStates;
    for (TBareForm* form : {static_cast<TBareForm*>(main.FormAnnotEdit), static_cast<TBareForm*>(main.FormAnnot),
                            static_cast<TBareForm*>(main.FormGraphSetup), static_cast<TBareForm*>(main.FormOptions)})
        QObject::connect(form, &TBareForm::Showing, form,
                         [&states](QWidget* w) { states.Restore(w, w->objectName()); });
}

TShell::~TShell()
{
    delete FormAssert;
    // The dialogs are children of the main window.
    delete FormMain;
}

} // namespace qv
