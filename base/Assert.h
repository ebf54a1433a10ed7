#pragma once
// Program-wide checks of impossible states. A failed check is reported
// (assertion window and debugger output) and the caller goes on, as a rule
// skipping the work that needed the broken invariant:
//
//     if (!QV_ASSERT(p != nullptr, "P<>nil in GetFullName"))
//         return {};
#include <QString>
#include <functional>

namespace qv {

// "%s (%s, line %d, address $%x)"
QString FormatAssertReport(const QString& message, const QString& unit, int line, quintptr address);

// Unit name of a source file: base name without folders or extension.
QString UnitNameFromPath(const char* file);

// Reports a failed assertion. The address is the caller's return address
// less one (0 where the platform gives none).
void ReportAssert(const QString& message, const char* file, int line);

// The assertion window registers here; it receives every report while the
// application is not terminating.
using AssertSink = std::function<void(const QString& report)>;
void SetAssertSink(AssertSink sink);

// Once set, reports go to the debugger output only.
void SetApplicationTerminating(bool terminating);
bool ApplicationTerminating();

} // namespace qv

#define QV_ASSERT(cond, message) \
    ((cond) ? true : (::qv::ReportAssert(QString(message), __FILE__, __LINE__), false))
