#include "base/Version.h"

namespace qv {

// QUORVEL_VERSION comes from the project's version in the build, for this
// one file only.
QString ProgramVersion() { return QStringLiteral(QUORVEL_VERSION); }

} // namespace qv
