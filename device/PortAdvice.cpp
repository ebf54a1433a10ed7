#include "device/PortAdvice.h"

#include <QSerialPortInfo>
#include <QStringList>

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qv {

namespace {
// The device a port name opens: a bare name is looked for under /dev.
QByteArray DevicePath(const QString& name)
{
    const QByteArray local = name.toLocal8Bit();
    return name.contains(QLatin1Char('/')) ? local : "/dev/" + local;
}

QString GroupOf(const QByteArray& path)
{
    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        return {};
    std::vector<char> buf(16384);
    group g {};
    group* found = nullptr;
    if (::getgrgid_r(st.st_gid, &g, buf.data(), buf.size(), &found) != 0 || !found)
        return QString::number(st.st_gid);
    return QString::fromLocal8Bit(found->gr_name);
}

QString UserName()
{
    std::vector<char> buf(16384);
    passwd pw {};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QStringLiteral("$USER") : user;
}
} // namespace

QString PortCaption(const QString& name, const QString& description, const QString& maker)
{
    QString caption = name;
    if (!description.isEmpty())
        caption += QStringLiteral(" - ") + description;
    if (!maker.isEmpty())
        caption += description.isEmpty() ? QStringLiteral(" - ") + maker : QStringLiteral(" (") + maker + QLatin1Char(')');
    return caption;
}

QList<TPortEntry> SystemPorts()
{
    QList<TPortEntry> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.push_back({info.systemLocation(),
                         PortCaption(info.systemLocation(), info.description(), info.manufacturer())});
    return ports;
}

QString PermissionAdvice(const QString& group, const QString& user)
{
    if (group.isEmpty() || group == QLatin1String("root"))
        return QStringLiteral("Only the administrator may open this port.");
    return QStringLiteral("The port belongs to the group \"%1\": join it with \"sudo usermod -aG %1 %2\", "
                          "then log out and in again.")
        .arg(group, user);
}

QString MissingPortAdvice(const QList<TPortEntry>& ports)
{
    if (ports.isEmpty())
        return QStringLiteral("This system has no serial ports.");
    QStringList captions;
    for (const TPortEntry& p : ports)
        captions << p.Caption;
    return QStringLiteral("Serial ports of this system: ") + captions.join(QStringLiteral("; ")) +
           QLatin1Char('.');
}

QString PortOpenAdvice(const QString& portName, int errorCode)
{
    if (errorCode == EACCES || errorCode == EPERM)
        return PermissionAdvice(GroupOf(DevicePath(portName)), UserName());
    if (errorCode == ENOENT || errorCode == ENODEV || errorCode == ENXIO)
        return MissingPortAdvice(SystemPorts());
    return {};
}

} // namespace qv
