#pragma once
// Windows-1250, the 8-bit code page of the data files users already have.
#include <QString>
#include <string>
#include <string_view>

namespace qv {

QString FromCp1250(std::string_view bytes);
// Characters the code page lacks become '?'.
std::string ToCp1250(const QString& text);

} // namespace qv
