#pragma once
// Numbers typed by the user or read from the settings file: the decimal
// separator is the system's or a point (a comma is taken as a decimal
// separator too); thousands separators are never accepted.
#include <QString>
#include <optional>

namespace qv {

// The value of a typed number; nothing when the text is not a finite number.
std::optional<double> ParseUserNumber(const QString& text);
// The same with a value for text that is not a number.
double ParseUserNumber(const QString& text, double fallback);

} // namespace qv
