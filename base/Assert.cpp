#include "base/Assert.h"

#include <QDebug>
#include <QFileInfo>

namespace qv {

namespace {
AssertSink& Sink()
{
    static AssertSink s;
    return s;
}
bool terminating = false;
} // namespace

QString FormatAssertReport(const QString& message, const QString& unit, int line, quintptr address)
{
    return QStringLiteral("%1 (%2, line %3, address $%4)")
        .arg(message, unit)
        .arg(line)
        .arg(QString::number(static_cast<qulonglong>(address), 16));
}

QString UnitNameFromPath(const char* file)
{
    return QFileInfo(QString::fromLocal8Bit(file)).completeBaseName();
}

#if defined(__GNUC__) || defined(__clang__)
__attribute__((noinline))
#endif
void ReportAssert(const QString& message, const char* file, int line)
{
    quintptr address = 0;
#if defined(__GNUC__) || defined(__clang__)
    address = reinterpret_cast<quintptr>(__builtin_return_address(0));
    if (address)
        --address;
#endif
    const QString report = FormatAssertReport(message, UnitNameFromPath(file), line, address);
    if (!terminating && Sink())
        Sink()(report);
    qWarning().noquote() << report;
}

void SetAssertSink(AssertSink s) { Sink() = std::move(s); }

void SetApplicationTerminating(bool t) { terminating = t; }

bool ApplicationTerminating() { return terminating; }

} // namespace qv
