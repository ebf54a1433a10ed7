#pragma once
// One flight file in memory. Texts (date, annotation texts, notes) hold the
// file's own bytes (Windows-1250); they are decoded only where they meet the
// screen or the keyboard (see data/Cp1250.h), so a load and a save without
// edits change no byte.
#include "data/FileOffsets.h"

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

// One sample array: filled once (by the reader or the download) and never
// changed afterwards, so the chart, the measuring and the picture output
// share it instead of copying it. Null means empty.
using TSampleBuffer = std::shared_ptr<const std::vector<double>>;

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
    std::array<TSampleBuffer, kSampleArrays> Data;
    std::unique_ptr<std::string> Notes;                // notes text, file bytes; null when freed
    bool Modified = false;
    std::vector<TAnotace> Annotations;

    std::int32_t SamplePeriod() const { return Words[0]; }
    std::int32_t& SamplePeriod() { return Words[0]; }
    std::int32_t Flags() const { return Words[1]; }
    std::int32_t& Flags() { return Words[1]; }

    // The values of a sample array (an empty one when it has none).
    const std::vector<double>& Samples(int k) const;
    // The array to share (null when empty).
    TSampleBuffer Shared(int k) const { return HasArray(k) ? Data[k] : nullptr; }
    // Moves the values in; they are not changed afterwards.
    void SetSamples(int k, std::vector<double> values);

    int SampleCount() const { return static_cast<int>(Samples(ArrTime).size()); }
    bool HasArray(int k) const { return k >= 0 && k < kSampleArrays && Data[k] && !Data[k]->empty(); }

    // Notes as a string (empty when the stream was freed).
    const std::string& NotesText() const;
    // Creates the notes stream when missing and returns it.
    std::string& NotesStream();

    // Empties arrays and annotations and frees the notes stream.
    void Release();

    // The record's invariants; an empty list means they hold.
    QStringList CheckInvariants() const;
};

// The marker flags of the samples: 1 where the receiver value is above the
// threshold, else 0; none when the record has no receiver channel.
std::vector<std::int32_t> MarkerFlags(const TDataBlock& block, double threshold);

} // namespace qv
