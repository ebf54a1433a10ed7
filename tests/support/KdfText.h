#pragma once
// Hand-written flight data files for the tests.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qv::test {

struct KdfContent {
    QByteArray Date = "08.12.2026 10:15:00";
    int Period = 10;
    int Flags = 0xC800; // altitude, receiver, voltage
    QStringList Lines;  // data lines
    QStringList Annotations;
    QByteArray Notes;
    QByteArray Extra = "RxOffsetY=0.00";
};

inline QByteArray KdfText(const KdfContent& s)
{
    QByteArray t;
    auto line = [&t](const QByteArray& l) { t += l + "\r\n"; };
    line("<Header>");
    line(s.Date);
    line(QByteArray::number(s.Period));
    line(QByteArray::number(s.Flags));
    for (int i = 0; i < 5; ++i)
        line("0");
    line("</Header>");
    line("<Data>");
    for (const QString& l : s.Lines)
        line(l.toLatin1());
    line("</Data>");
    if (!s.Annotations.isEmpty()) {
        line("<Anotace>");
        for (const QString& a : s.Annotations)
            line(a.toLatin1());
        line("</Anotace>");
    }
    line("<Text>");
    line(s.Notes);
    line("</Text>");
    line("<Extra>");
    line(s.Extra);
    line("</Extra>");
    return t;
}

// Three channels (time, altitude, receiver, voltage) of n samples.
inline QStringList ThreeChannelLines(int n, double altScale = 1.0)
{
    QStringList lines;
    for (int i = 0; i < n; ++i)
        lines << QStringLiteral("%1,%2,%3,%4")
                     .arg(i * 0.1, 0, 'f', 1)
                     .arg(i * altScale, 0, 'f', 2)
                     .arg(i % 2 ? 10.0 : -10.0, 0, 'f', 2)
                     .arg(7.2, 0, 'f', 2);
    return lines;
}

} // namespace qv::test
