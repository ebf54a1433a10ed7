#include "app/GraphLink.h"

#include "annot/Annot.h"
#include "annot/AnnotEdit.h"
#include "app/MainFrm.h"
#include "base/Cp1250.h"
#include "base/MessageService.h"
#include "data/OpenData.h"
#include "graph/GraphPage.h"
#include "graph/Measurement.h"
#include "graph/OffsetControls.h"

#include <QToolButton>

namespace qv {

TGraphLink::TGraphLink(TOpenData& open, TCurveModel& curves, QObject* parent)
    : QObject(parent), open_(open), curves_(curves)
{
}

int TGraphLink::RowCount() const { return open_.RowCount(); }

QString TGraphLink::RowName(int row) const { return open_.Cell(TOpenData::ColName, row); }

bool TGraphLink::HasRecord(int row) const { return open_.Block(row) != nullptr; }

TCurveHandle TGraphLink::CurvesOf(int row) const
{
    const TDataBlock* b = open_.Block(row);
    return b ? b->Curves : kNoCurves;
}

int TGraphLink::RowOfCurves(TCurveHandle h) const
{
    for (int row = 0; row < open_.RowCount(); ++row)
        if (h != kNoCurves && CurvesOf(row) == h)
            return row;
    return -1;
}

void TGraphLink::MarkModified(TCurveHandle h)
{
    if (TDataBlock* b = open_.Block(RowOfCurves(h)))
        b->Modified = true;
}

std::vector<TAnnotPoint> TGraphLink::Annotations(int row) const
{
    std::vector<TAnnotPoint> out;
    const TCurveHandle h = CurvesOf(row);
    const TCurve* c = curves_.Curve(h, SlotAnnot);
    if (!c)
        return out;
    for (const TCurveLabel& l : curves_.Labels(h))
        out.push_back({c->DrawnX(l.Time), c->DrawnY(l.Altitude), FromCp1250(l.Text)});
    return out;
}

void TGraphLink::AddAnnotation(int row, const TAnnotPoint& point)
{
    const TCurveHandle h = CurvesOf(row);
    const TCurve* c = curves_.Curve(h, SlotAnnot);
    if (!c)
        return;
    // Kept in the file's coordinates: the drawn point less the offsets.
    TCurveLabel l;
    l.Time = point.Time - (c->OffsetEnabled ? c->OffsetX : 0.0);
    l.Altitude = point.Altitude - (c->OffsetEnabled ? c->OffsetY : 0.0);
    l.Text = ToCp1250(point.Text);
    // The data files hold Windows-1250 only: say so once for the text.
    if (FromCp1250(l.Text) != point.Text)
        Messages().Information(QStringLiteral("The annotation \"%1\" holds characters that cannot be stored in "
                                              "the data file; they are saved as \"?\".")
                                   .arg(point.Text));
    curves_.AddLabel(h, l);
    open_.Block(row)->Modified = true;
}

void TGraphLink::DeleteAnnotation(int row, int index)
{
    const TCurveHandle h = CurvesOf(row);
    if (index < 0 || index >= static_cast<int>(curves_.Labels(h).size()))
        return;
    curves_.DeleteLabel(h, index);
    open_.Block(row)->Modified = true;
}

// --- The main window's ways into the annotation dialogs ------------------

void TFormMain::ConnectGraphLink(TOpenData& open)
{
    GraphLink = new TGraphLink(open, Curves, this);
    connect(&GraphPage->OffsetControls->Offsets(), &TCurveOffsets::OffsetsChanged, GraphLink,
            &TGraphLink::MarkModified);
    TBAnnotDialog = GraphPage->TBAnnotations;
    TBAnnotDialog->setObjectName(QStringLiteral("TBAnnotDialog"));
    TBAnnotDialog->setToolTip(QStringLiteral("Shows an Annotation dialog"));
    TBAnnotDialog->setEnabled(true);
    connect(TBAnnotDialog, &QToolButton::clicked, this, &TFormMain::TBAnnotDialogClick);
    TMeasurement* m = GraphPage->Measurement;
    connect(m, &TMeasurement::AnnotModifyRequested, this, [this, m](TCurveHandle h) {
        m->pmnuAnnotModifi->setData(GraphLink->RowOfCurves(h));
        pmnuAnnotModifiClick();
    });
    connect(m, &TMeasurement::AnnotNewRequested, this, [this, m](TCurveHandle h, double time, double altitude) {
        m->pmnuAnnotNew->setData(GraphLink->RowOfCurves(h));
        if (FormAnnotEdit)
            FormAnnotEdit->SetPoint({time, altitude, QString()});
        pmnuAnnotNewClick();
    });
}

void TFormMain::TBAnnotDialogClick()
{
    if (FormAnnot && GraphLink)
        FormAnnot->Execute(*GraphLink, ActualRow);
}

void TFormMain::pmnuAnnotModifiClick()
{
    if (FormAnnot && GraphLink)
        FormAnnot->Execute(*GraphLink, GraphPage->Measurement->pmnuAnnotModifi->data().toInt());
}

void TFormMain::pmnuAnnotNewClick()
{
    if (FormAnnotEdit && GraphLink)
        AddAnnotationFromChart(*FormAnnotEdit, *GraphLink, GraphPage->Measurement->pmnuAnnotNew->data().toInt());
}

} // namespace qv
