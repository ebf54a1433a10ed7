#pragma once
// One flight file in memory. Texts (date, annotation texts, notes) hold the
// file's own bytes (Windows-1250); they are decoded only where they meet the
// screen or the keyboard (see data/Cp1250.h), so a load and a save without
// edits change no byte.
#include "graph/CurveSlots.h"
#include "graph/FileOffsets.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qv {

constexpr int kSampleArrays = 9;  // 0 time, 1..7 channels, 8 spare
constexpr int kChannelArrays = 8; // arrays with a present flag
constexpr int kHeaderWords = 7;   // word 1 period, word 2 flags, words 3..7

// Flag bit (mask) of each sample array; 0 for the time array and the spare.
constexpr std::array<std::uint32_t, kSampleArrays> kArrayMask = {
    0, 0x8000, 0x4000, 0x2000, 0x1000, 0x0800, 0x0400, 0x0200, 0};

enum SampleArray { ArrTime = 0, ArrAltitude = 1, ArrRx = 2, ArrVoltage = 5, ArrSpare = 8 };

// Sample array that feeds each slot's series (-1: the annotations).
constexpr std::array<int, kSlotCount> kSlotSource = {ArrAltitude, ArrRx, ArrVoltage, ArrAltitude, -1};

struct TAnotace {
    double Time = 0;     // seconds on the time axis
    double Altitude = 0; // height at which the label is drawn
    std::string Text;    // one line, file bytes
};

struct TDataBlock {
    std::string Date;                                  // first header line, file bytes
    std::array<std::int32_t, kHeaderWords> Words{};    // header words 1..7
    double RxOffsetY = 0;
    TFileOffsets Offsets; // further curve offsets of the extra section
    std::array<bool, kChannelArrays> Present{};
    std::array<std::vector<double>, kSampleArrays> Data;
    std::unique_ptr<std::string> Notes;                // notes text, file bytes; null when freed
    bool Modified = false;
    std::vector<TAnotace> Annotations;
    std::vector<std::int32_t> Markers;
    // The file's five curves (colours, visibility, offsets) in the curve
    // model while the file is open.
    TCurveHandle Curves = kNoCurves;

    std::int32_t SamplePeriod() const { return Words[0]; }
    std::int32_t& SamplePeriod() { return Words[0]; }
    std::int32_t Flags() const { return Words[1]; }
    std::int32_t& Flags() { return Words[1]; }

    int SampleCount() const { return static_cast<int>(Data[ArrTime].size()); }
    bool HasArray(int k) const { return k >= 0 && k < kSampleArrays && !Data[k].empty(); }

    // Notes as a string (empty when the stream was freed).
    const std::string& NotesText() const;
    // Creates the notes stream when missing and returns it.
    std::string& NotesStream();

    // Empties arrays, annotations and markers and frees the notes stream.
    void Release();

    // The record's invariants; an empty list means they hold.
    QStringList CheckInvariants() const;
};

using DataBlockPtr = TDataBlock*;

// The open data files, in the order of the rows of the open-files grid.
using TDataList = std::vector<std::unique_ptr<TDataBlock>>;

} // namespace qv
