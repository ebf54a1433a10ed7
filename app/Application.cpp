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
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--ini") && i + 1 < arguments.size())
            o.IniPath = arguments[++i];
        else if (a.startsWith(QLatin1String("--ini=")))
            o.IniPath = a.mid(6);
        else if (a == QLatin1String("--port") && i + 1 < arguments.size())
            o.PortOverride = arguments[++i];
        else if (a.startsWith(QLatin1String("--port=")))
            o.PortOverride = a.mid(7);
    }
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
    FormAnnot = new TFormAnnot(FormMain);
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
    for (TBareForm* form : {static_cast<TBareForm*>(FormAnnotEdit), static_cast<TBareForm*>(FormAnnot),
                            static_cast<TBareForm*>(FormGraphSetup)})
        QObject::connect(form, &TBareForm::Showing, form,
                         [](QWidget* w) { WinStates.Restore(w, w->objectName()); });
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
