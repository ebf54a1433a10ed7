#pragma once
// The program's version, as the build names it ("1.1").
#include <QString>

namespace qv {

QString ProgramVersion();

} // namespace qv
