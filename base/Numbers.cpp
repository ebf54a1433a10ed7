#include "base/Numbers.h"

#include <QLocale>
#include <cmath>

namespace qv {

std::optional<double> ParseUserNumber(const QString& text)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    const QString sysPoint = QLocale::system().decimalPoint();
    if (sysPoint != QLatin1String("."))
        t.replace(sysPoint, QLatin1String("."));
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = c.toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

double ParseUserNumber(const QString& text, double fallback)
{
    return ParseUserNumber(text).value_or(fallback);
}

} // namespace qv
