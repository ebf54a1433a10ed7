#include "app/Application.h"

#include "annot/Annot.h"
#include "annot/AnnotEdit.h"
#include "app/AssertDlg.h"
#include "app/MainFrm.h"
#include "app/Options.h"
#include "app/WinStates.h"
#include "device/DoskComUnit.h"
#include "graph/GraphPage.h"
#include "graph/GraphSetupfrm.h"

#include <QCommandLineParser>
#include <QCoreApplication>

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
    const QCommandLineOption ini(QStringLiteral("ini"), QStringLiteral("Settings file to use."), QStringLiteral("FILE"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Serial port for this run only."),
                                  QStringLiteral("NAME"));
    parser.addOptions({ini, port});
    // Options the program does not know (Qt's own, say) are left alone.
    parser.parse(arguments.isEmpty() ? QStringList{o.ExePath} : arguments);
    o.IniPath = parser.value(ini);
    o.PortOverride = parser.value(port);
    return o;
}

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
