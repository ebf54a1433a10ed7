#include "base/MessageService.h"

#include <QStringList>
#include <cstdio>

namespace qv {

namespace {
ConsoleMessageService& ConsoleService()
{
    static ConsoleMessageService service;
    return service;
}
IMessageService* current = nullptr;

void PrintLine(const char* prefix, const QString& text)
{
    std::fprintf(stderr, "%s%s\n", prefix, text.toLocal8Bit().constData());
}
} // namespace

IMessageService& Messages()
{
    return current ? *current : ConsoleService();
}

void SetMessageService(IMessageService* service)
{
    current = service;
}

void ConsoleMessageService::Error(const QString& text) { PrintLine("", text); }

void ConsoleMessageService::Information(const QString& text) { PrintLine("", text); }

Answer ConsoleMessageService::Question(const QString& text, Buttons)
{
    PrintLine("", text);
    return answer_;
}

QString QtFilterFromPipes(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        // A description that already shows its patterns keeps them once.
        const QString shown = QStringLiteral("(%1)").arg(patterns);
        out << (parts[i].endsWith(shown) ? parts[i] : QStringLiteral("%1 %2").arg(parts[i], shown));
    }
    return out.join(QStringLiteral(";;"));
}

int IMessageService::ExecDialog(QDialog&)
{
    return 0; // QDialog::Rejected
}

} // namespace qv
