#include "data/DataBlock.h"

namespace qv {

const std::string& TDataBlock::NotesText() const
{
    static const std::string empty;
    return Notes ? *Notes : empty;
}

std::string& TDataBlock::NotesStream()
{
    if (!Notes)
        Notes = std::make_unique<std::string>();
    return *Notes;
}

const std::vector<double>& TDataBlock::Samples(int k) const
{
    static const std::vector<double> none;
    return k >= 0 && k < kSampleArrays && Data[k] ? *Data[k] : none;
}

void TDataBlock::SetSamples(int k, std::vector<double> values)
{
    if (k < 0 || k >= kSampleArrays)
        return;
    if (values.empty())
        Data[k].reset();
    else
        Data[k] = std::make_shared<const std::vector<double>>(std::move(values));
}

void TDataBlock::Release()
{
    for (auto& a : Data)
        a.reset();
    Present.fill(false);
    Annotations.clear();
    Annotations.shrink_to_fit();
    Offsets = {};
    Notes.reset();
}

QStringList TDataBlock::CheckInvariants() const
{
    QStringList broken;
    const std::size_t n = Samples(ArrTime).size();
    if (!Present[ArrTime] && n > 0)
        broken << QStringLiteral("time array filled but not marked present");
    for (int k = 1; k < kChannelArrays; ++k) {
        if (Present[k] && Samples(k).size() != n)
            broken << QStringLiteral("array %1 has %2 samples, time has %3").arg(k).arg(Samples(k).size()).arg(n);
        if (!Present[k] && HasArray(k))
            broken << QStringLiteral("array %1 filled but not marked present").arg(k);
    }
    if (HasArray(ArrSpare))
        broken << QStringLiteral("spare array filled");
    return broken;
}

std::vector<std::int32_t> MarkerFlags(const TDataBlock& b, double threshold)
{
    std::vector<std::int32_t> flags;
    if ((static_cast<std::uint32_t>(b.Flags()) & kArrayMask[ArrRx]) == 0)
        return flags;
    const std::vector<double>& rx = b.Samples(ArrRx);
    flags.resize(static_cast<std::size_t>(b.SampleCount()), 0);
    for (std::size_t i = 0; i < flags.size() && i < rx.size(); ++i)
        flags[i] = rx[i] > threshold ? 1 : 0;
    return flags;
}

} // namespace qv
