#include "graph/CurveModel.h"

#include "graph/CurveTable.h"
#include "graph/GraphStyle.h"
#include "graph/Measure.h"
#include "graph/ViewMath.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <future>
#include <numeric>
#include <thread>

namespace qv {

void TRange::Include(double lo, double hi)
{
    if (!Valid) {
        Lower = lo;
        Upper = hi;
        Valid = true;
        return;
    }
    Lower = std::min(Lower, lo);
    Upper = std::max(Upper, hi);
}

TRange TCurve::KeyExtent() const
{
    TRange r;
    if (Count() > 0)
        r.Include(DrawnX(PointX(0)), DrawnX(PointX(Count() - 1)));
    return r;
}

TRange TCurve::ValueExtent() const
{
    TRange r;
    if (Count() > 0) {
        const double a = DrawnY(MinY), b = DrawnY(MaxY);
        r.Include(std::min(a, b), std::max(a, b));
    }
    return r;
}

TCurveModel::TCurveModel(QObject* parent) : QObject(parent) {}
TCurveModel::~TCurveModel() = default;

TCurveHandle TCurveModel::AddFile(const QString& shortName, std::uint8_t colourIndex)
{
    std::vector<std::uint32_t> used;
    for (const auto& [h, f] : files_)
        for (const TCurve& c : f.Curves)
            used.push_back(c.Rgb);
    const std::uint32_t rgb = colourIndex < kCurveColourCount ? SwapRedBlue(kCurveColours[colourIndex])
                                                              : NextFreeSeriesColour(used);
    const TCurveHandle h = next_++;
    TCurveFile& f = files_[h];
    f.ShortName = shortName;
    for (TCurve& c : f.Curves) {
        c.ColorIndex = colourIndex;
        c.Rgb = rgb;
    }
    ApplyRxMapping(h, f);
    emit FileAdded(h);
    return h;
}

void TCurveModel::RemoveFile(TCurveHandle h)
{
    if (files_.erase(h))
        emit FileRemoved(h);
}

void TCurveModel::SetShortName(TCurveHandle h, const QString& shortName)
{
    auto it = files_.find(h);
    if (it == files_.end() || it->second.ShortName == shortName)
        return;
    it->second.ShortName = shortName;
    emit FileRenamed(h);
}

const TCurveFile* TCurveModel::File(TCurveHandle h) const
{
    auto it = files_.find(h);
    return it == files_.end() ? nullptr : &it->second;
}

const TCurve* TCurveModel::Curve(TCurveHandle h, int slot) const
{
    const TCurveFile* f = File(h);
    return f && slot >= 0 && slot < kSlotCount ? &f->Curves[slot] : nullptr;
}

TCurve* TCurveModel::MutableCurve(TCurveHandle h, int slot)
{
    return const_cast<TCurve*>(Curve(h, slot));
}

std::vector<TCurveHandle> TCurveModel::Handles() const
{
    std::vector<TCurveHandle> out;
    for (const auto& [h, f] : files_)
        out.push_back(h);
    return out; // handles grow with every file: map order is adding order
}

std::vector<std::uint8_t> TCurveModel::UsedColourIndices() const
{
    std::vector<std::uint8_t> out;
    for (const auto& [h, f] : files_)
        out.push_back(f.Curves[SlotAlt].ColorIndex);
    return out;
}

namespace {

// Empty arrays for missing ones; the count of points they make.
std::size_t NoNullArrays(std::shared_ptr<const std::vector<double>>& x, std::shared_ptr<const std::vector<double>>& y)
{
    if (!x)
        x = std::make_shared<const std::vector<double>>();
    if (!y)
        y = std::make_shared<const std::vector<double>>();
    return std::min(x->size(), y->size());
}

} // namespace

void TCurveModel::SetPoints(TCurveHandle h, int slot, std::shared_ptr<const std::vector<double>> x,
                            std::shared_ptr<const std::vector<double>> y)
{
    SetPointsOfSlots(h, {TSlotPoints{slot, std::move(x), std::move(y)}});
}

namespace {

// The indices of `index` that are samples of n, ascending and each once.
std::shared_ptr<const std::vector<std::int32_t>> ValidIndices(std::shared_ptr<const std::vector<std::int32_t>> index,
                                                              std::size_t n)
{
    if (!index)
        return std::make_shared<const std::vector<std::int32_t>>();
    if (std::is_sorted(index->begin(), index->end(), std::less_equal<std::int32_t>()) &&
        (index->empty() || (index->front() >= 0 && static_cast<std::size_t>(index->back()) < n)))
        return index;
    auto kept = std::make_shared<std::vector<std::int32_t>>();
    for (const std::int32_t i : *index)
        if (i >= 0 && static_cast<std::size_t>(i) < n)
            kept->push_back(i);
    std::sort(kept->begin(), kept->end());
    kept->erase(std::unique(kept->begin(), kept->end()), kept->end());
    return kept;
}

bool TimesAscend(const std::vector<double>& x, const std::vector<std::int32_t>& index)
{
    for (std::size_t k = 1; k < index.size(); ++k)
        if (x[static_cast<std::size_t>(index[k])] < x[static_cast<std::size_t>(index[k - 1])])
            return false;
    return true;
}

} // namespace

void TCurveModel::SetPointsOfSlots(TCurveHandle h, std::vector<TSlotPoints> curves)
{
    struct TJob {
        TSlotPoints* Points;
        TCurve* Curve;
        bool Ascending = false; // indexed: times known to ascend
        std::shared_ptr<const std::vector<std::int32_t>> CopyOut; // indexed, to be copied out
    };
    std::vector<TJob> jobs;
    const TCurveFile& f = files_.at(h);
    // Times another curve of the file already holds, all of them, are known
    // to ascend.
    auto known = [&](const TCurve* c, const std::shared_ptr<const std::vector<double>>& x, std::size_t n) {
        return std::any_of(f.Curves.begin(), f.Curves.end(), [&](const TCurve& o) {
            return &o != c && o.X == x && !o.Index && o.X->size() == n;
        });
    };
    for (TSlotPoints& p : curves) {
        TCurve* c = MutableCurve(h, p.Slot);
        if (!c || p.Index)
            continue;
        std::shared_ptr<const std::vector<double>> x = std::move(p.X), y = std::move(p.Y);
        const std::size_t n = NoNullArrays(x, y);
        if (x->size() != n || y->size() != n || (!known(c, x, n) && !std::is_sorted(x->begin(), x->begin() + n))) {
            std::vector<std::size_t> order(n);
            std::iota(order.begin(), order.end(), 0);
            std::stable_sort(order.begin(), order.end(),
                             [&](std::size_t a, std::size_t b) { return (*x)[a] < (*x)[b]; });
            auto xs = std::make_shared<std::vector<double>>(n);
            auto ys = std::make_shared<std::vector<double>>(n);
            for (std::size_t i = 0; i < n; ++i) {
                (*xs)[i] = (*x)[order[i]];
                (*ys)[i] = (*y)[order[i]];
            }
            x = xs;
            y = ys;
        }
        c->X = std::move(x);
        c->Y = std::move(y);
        c->Index.reset();
        jobs.push_back({&p, c});
    }
    // Points picked out of the samples go first: finding them is part of
    // their preparation, the longest.
    std::vector<TJob> picked;
    for (TSlotPoints& p : curves)
        if (TCurve* c = p.Index ? MutableCurve(h, p.Slot) : nullptr) {
            NoNullArrays(p.X, p.Y);
            picked.push_back({&p, c, known(c, p.X, std::min(p.X->size(), p.Y->size()))});
        }
    jobs.insert(jobs.begin(), picked.begin(), picked.end());
    // What each curve needs for drawing and measuring, side by side: every
    // curve is its own. As many threads as the processors take a curve
    // each in turn, this one among them.
    auto prepare = [this](TJob& j) {
        TSlotPoints& p = *j.Points;
        if (p.Index) {
            std::shared_ptr<const std::vector<std::int32_t>> index =
                ValidIndices(p.Index(), std::min(p.X->size(), p.Y->size()));
            // Only marks share samples so: line curves stay plain arrays,
            // which the measuring and the offsets read directly.
            if (!CurveSlot(p.Slot).Points || !(j.Ascending || TimesAscend(*p.X, *index))) {
                j.CopyOut = std::move(index);
                return;
            }
            j.Curve->X = std::move(p.X);
            j.Curve->Y = std::move(p.Y);
            j.Curve->Index = std::move(index);
        }
        Prepare(p.Slot, *j.Curve);
    };
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < jobs.size(); i = next++)
            prepare(jobs[i]);
    };
    const std::size_t threads =
        jobs.size() < 2 ? jobs.size()
                        : std::min<std::size_t>(jobs.size(), std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::future<void>> others;
    for (std::size_t i = 1; i < threads; ++i)
        others.push_back(std::async(std::launch::async, work));
    work();
    for (std::future<void>& o : others)
        o.get();
    for (TJob& j : jobs) {
        if (!j.CopyOut) {
            emit CurveChanged(h, j.Points->Slot);
            continue;
        }
        // Times not known to ascend, or a line: the points are copied out.
        auto xs = std::make_shared<std::vector<double>>();
        auto ys = std::make_shared<std::vector<double>>();
        xs->reserve(j.CopyOut->size());
        ys->reserve(j.CopyOut->size());
        for (const std::int32_t i : *j.CopyOut) {
            xs->push_back((*j.Points->X)[static_cast<std::size_t>(i)]);
            ys->push_back((*j.Points->Y)[static_cast<std::size_t>(i)]);
        }
        SetPoints(h, j.Points->Slot, std::move(xs), std::move(ys));
    }
}

void TCurveModel::SetIndexedPoints(TCurveHandle h, int slot, std::shared_ptr<const std::vector<double>> x,
                                   std::shared_ptr<const std::vector<double>> y,
                                   std::shared_ptr<const std::vector<std::int32_t>> index)
{
    SetPointsOfSlots(h, {TSlotPoints{slot, std::move(x), std::move(y), [index] { return index; }}});
}

void TCurveModel::Prepare(int slot, TCurve& c)
{
    // Points have no means to measure; lines keep sums by blocks, made in
    // the pyramid's pass over the values.
    const bool measured = !CurveSlot(slot).Points && !c.Index;
    std::vector<double> sums;
    if (c.Index)
        c.Pyramid.Build(*c.Y, *c.Index);
    else
        c.Pyramid.Build(*c.Y, measured ? &sums : nullptr);
    // Points picked out of the samples (marks) are checked bucket by bucket
    // for gaps, so their reduction often steps down to narrower buckets:
    // those keep places too (marks are fewer than samples).
    if (c.X)
        c.Pyramid.KeepPlaces(*c.X, *c.Y, c.Index.get(), TMinMaxPyramid::kPlacedLevel - (c.Index ? 1 : 0));
    if (measured)
        c.Prefix = std::make_shared<const std::vector<double>>(std::move(sums));
    else
        c.Prefix.reset();
    if (c.Count() > 0) {
        c.MinY = c.PointY(c.Pyramid.Lowest());
        c.MaxY = c.PointY(c.Pyramid.Highest());
    } else {
        c.MinY = c.MaxY = 0;
    }
}

void TCurveModel::SetVisible(TCurveHandle h, int slot, bool visible)
{
    TCurve* c = MutableCurve(h, slot);
    if (!c || c->Visible == visible)
        return;
    c->Visible = visible;
    emit VisibilityChanged(h, slot, visible);
}

void TCurveModel::SetOffset(TCurveHandle h, int slot, double dx, double dy)
{
    TCurve* c = MutableCurve(h, slot);
    if (!c)
        return;
    c->OffsetX = std::isfinite(dx) ? std::clamp(dx, -kOffsetLimit, kOffsetLimit) : 0.0;
    c->OffsetY = std::isfinite(dy) ? std::clamp(dy, -kOffsetLimit, kOffsetLimit) : 0.0;
    emit CurveChanged(h, slot);
}

void TCurveModel::SetOffsetEnabled(TCurveHandle h, int slot, bool enabled)
{
    TCurve* c = MutableCurve(h, slot);
    if (!c || c->OffsetEnabled == enabled)
        return;
    c->OffsetEnabled = enabled;
    emit CurveChanged(h, slot);
}

void TCurveModel::ApplyRxMapping(TCurveHandle, TCurveFile& f)
{
    TCurve& rx = f.Curves[SlotRx];
    if (rxCentre_) {
        rx.Scale = (deflectionMax_ - deflectionMin_) / 200.0;
        rx.Shift = (deflectionMax_ + deflectionMin_) * 0.5;
        rx.OffsetY = 0.0;
    } else {
        rx.Scale = 1.0;
        rx.Shift = 0.0;
        rx.OffsetY = f.RxOffsetY;
    }
}

void TCurveModel::SetRxOffsetY(TCurveHandle h, double rxOffsetY)
{
    auto it = files_.find(h);
    if (it == files_.end())
        return;
    it->second.RxOffsetY = std::isfinite(rxOffsetY) ? std::clamp(rxOffsetY, -kOffsetLimit, kOffsetLimit) : 0.0;
    ApplyRxMapping(h, it->second);
    emit CurveChanged(h, SlotRx);
}

void TCurveModel::SetRxCentre(bool centre)
{
    rxCentre_ = centre;
    for (auto& [h, f] : files_) {
        ApplyRxMapping(h, f);
        emit CurveChanged(h, SlotRx);
    }
}

void TCurveModel::SetDeflection(double deflectionMin, double deflectionMax)
{
    deflectionMin_ = deflectionMin;
    deflectionMax_ = deflectionMax;
    if (rxCentre_)
        SetRxCentre(true);
}

const std::vector<TCurveLabel>& TCurveModel::Labels(TCurveHandle h) const
{
    static const std::vector<TCurveLabel> none;
    const TCurveFile* f = File(h);
    return f ? f->Labels : none;
}

void TCurveModel::SyncLabelPoints(TCurveHandle h, TCurveFile& f)
{
    // The annotation curve's points follow the labels, in time order.
    const std::vector<TCurveLabel>& labels = f.Labels;
    std::vector<std::int32_t>& order = f.LabelOrder;
    order.resize(labels.size());
    std::iota(order.begin(), order.end(), 0);
    auto earlier = [&](std::int32_t a, std::int32_t b) { return labels[a].Time < labels[b].Time; };
    if (!std::is_sorted(order.begin(), order.end(), earlier))
        std::stable_sort(order.begin(), order.end(), earlier);
    auto x = std::make_shared<std::vector<double>>();
    auto y = std::make_shared<std::vector<double>>();
    x->reserve(order.size());
    y->reserve(order.size());
    for (const std::int32_t i : order) {
        x->push_back(labels[i].Time);
        y->push_back(labels[i].Altitude);
    }
    SetPoints(h, SlotAnnot, x, y);
    emit LabelsChanged(h);
}

void TCurveModel::SetLabels(TCurveHandle h, std::vector<TCurveLabel> labels)
{
    auto it = files_.find(h);
    if (it == files_.end())
        return;
    it->second.Labels = std::move(labels);
    SyncLabelPoints(h, it->second);
}

int TCurveModel::AddLabel(TCurveHandle h, const TCurveLabel& label)
{
    auto it = files_.find(h);
    if (it == files_.end())
        return -1;
    it->second.Labels.push_back(label);
    SyncLabelPoints(h, it->second);
    return static_cast<int>(it->second.Labels.size()) - 1;
}

void TCurveModel::DeleteLabel(TCurveHandle h, int index)
{
    auto it = files_.find(h);
    if (it == files_.end() || index < 0 || index >= static_cast<int>(it->second.Labels.size()))
        return;
    it->second.Labels.erase(it->second.Labels.begin() + index);
    SyncLabelPoints(h, it->second);
}

TRange TCurveModel::Extent(AxisId axis) const
{
    TRange r;
    for (const auto& [h, f] : files_)
        for (int k = 0; k < kSlotCount; ++k) {
            const TCurve& c = f.Curves[k];
            if (!c.Visible || c.Count() == 0)
                continue;
            if (axis == AxisBottom) {
                const TRange e = c.KeyExtent();
                r.Include(e.Lower, e.Upper);
            } else if (CurveSlot(k).Axis == axis) {
                const TRange e = c.ValueExtent();
                r.Include(e.Lower, e.Upper);
            }
        }
    return r;
}

} // namespace qv
