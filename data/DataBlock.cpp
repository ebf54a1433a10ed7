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

void TDataBlock::Release()
{
    for (auto& a : Data) {
        a.clear();
        a.shrink_to_fit();
    }
    Present.fill(false);
    Annotations.clear();
    Annotations.shrink_to_fit();
    Markers.clear();
    Markers.shrink_to_fit();
    Offsets = {};
    Notes.reset();
}

QStringList TDataBlock::CheckInvariants() const
{
    QStringList broken;
    const std::size_t n = Data[ArrTime].size();
    if (!Present[ArrTime] && n > 0)
        broken << QStringLiteral("time array filled but not marked present");
    for (int k = 1; k < kChannelArrays; ++k) {
        if (Present[k] && Data[k].size() != n)
            broken << QStringLiteral("array %1 has %2 samples, time has %3").arg(k).arg(Data[k].size()).arg(n);
        if (!Present[k] && !Data[k].empty())
            broken << QStringLiteral("array %1 filled but not marked present").arg(k);
    }
    if (!Data[ArrSpare].empty())
        broken << QStringLiteral("spare array filled");
    const bool rx = (static_cast<std::uint32_t>(Flags()) & kArrayMask[ArrRx]) != 0;
    if (rx && Markers.size() != n)
        broken << QStringLiteral("marker array has %1 entries, expected %2").arg(Markers.size()).arg(n);
    if (!rx && !Markers.empty())
        broken << QStringLiteral("marker array filled without the receiver channel");
    return broken;
}

} // namespace qv
