#include "app/GraphLink.h"

#include "annot/Annot.h"
#include "annot/AnnotEdit.h"
#include "app/MainFrm.h"
#include "base/Cp1250.h"
#include "base/MessageService.h"
#include "flights/OpenFlights.h"
#include "graph/GraphPage.h"
#include "graph/Measurement.h"
#include "graph/OffsetControls.h"

#include <QToolButton>

namespace qv {

TGraphLink::TGraphLink(TOpenFlights& open, TCurveModel& curves, QObject* parent)
    : QObject(parent), open_(open), curves_(curves)
{
}

int TGraphLink::RowCount() const { return open_.RowCount(); }

QString TGraphLink::RowName(int row) const { return open_.Name(row); }

bool TGraphLink::HasRecord(int row) const { return open_.Block(row) != nullptr; }

void TGraphLink::MarkModified(TCurveHandle h) { open_.MarkModified(open_.RowOfCurves(h)); }

std::vector<TAnnotPoint> TGraphLink::Annotations(int row) const
{
    std::vector<TAnnotPoint> out;
    const TCurveHandle h = open_.CurvesOf(row);
    const TCurve* c = curves_.Curve(h, SlotAnnot);
    if (!c)
        return out;
    for (const TCurveLabel& l : curves_.Labels(h))
        out.push_back({c->DrawnX(l.Time), c->DrawnY(l.Altitude), FromCp1250(l.Text)});
    return out;
}

void TGraphLink::AddAnnotation(int row, const TAnnotPoint& point)
{
    const TCurveHandle h = open_.CurvesOf(row);
    const TCurve* c = curves_.Curve(h, SlotAnnot);
    if (!c)
        return;
    // Kept in the file's coordinates.
    TCurveLabel l{c->FileX(point.Time), c->FileY(point.Altitude), ToCp1250(point.Text)};
    // The data files hold Windows-1250 only: say so once for the text.
    if (FromCp1250(l.Text) != point.Text)
        Messages().Information(QStringLiteral("The annotation \"%1\" holds characters that cannot be stored in "
                                              "the data file; they are saved as \"?\".")
                                   .arg(point.Text));
    curves_.AddLabel(h, l);
    open_.MarkModified(row);
}

void TGraphLink::DeleteAnnotation(int row, int index)
{
    const TCurveHandle h = open_.CurvesOf(row);
    if (index < 0 || index >= static_cast<int>(curves_.Labels(h).size()))
        return;
    curves_.DeleteLabel(h, index);
    open_.MarkModified(row);
}

// --- The main window's ways into the annotation dialogs ------------------

void TFormMain::ConnectGraphLink()
{
    GraphLink = new TGraphLink(OpenFlights, Curves, this);
    connect(&GraphPage->OffsetControls->Offsets(), &TCurveOffsets::OffsetsChanged, GraphLink,
            &TGraphLink::MarkModified);
    TBAnnotDialog = GraphPage->TBAnnotDialog;
    TBAnnotDialog->setEnabled(true);
    connect(TBAnnotDialog, &QToolButton::clicked, this, &TFormMain::TBAnnotDialogClick);
    TMeasurement* m = GraphPage->Measurement;
    // The pop-up names the file by its curves; the open files know its row.
    connect(m, &TMeasurement::AnnotModifyRequested, this,
            [this](TCurveHandle h) { pmnuAnnotModifiClick(OpenFlights.RowOfCurves(h)); });
    connect(m, &TMeasurement::AnnotNewRequested, this, [this](TCurveHandle h, double time, double altitude) {
        if (FormAnnotEdit)
            FormAnnotEdit->SetPoint({time, altitude, QString()});
        pmnuAnnotNewClick(OpenFlights.RowOfCurves(h));
    });
}

void TFormMain::TBAnnotDialogClick()
{
    if (FormAnnot && GraphLink)
        FormAnnot->Execute(*GraphLink, OpenFlights.Actual());
}

void TFormMain::pmnuAnnotModifiClick(int row)
{
    if (FormAnnot && GraphLink)
        FormAnnot->Execute(*GraphLink, row);
}

void TFormMain::pmnuAnnotNewClick(int row)
{
    if (FormAnnotEdit && GraphLink)
        AddAnnotationFromChart(*FormAnnotEdit, *GraphLink, row);
}

} // namespace qv
