#include "base/FileName.h"

#include <QDir>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace qv {

namespace {

constexpr char16_t kEscapeFirst = 0xDC80;
constexpr char16_t kEscapeLast = 0xDCFF;

bool IsEscape(QChar c)
{
    return c.unicode() >= kEscapeFirst && c.unicode() <= kEscapeLast;
}

bool HasEscapes(const QString& s)
{
    for (const QChar c : s)
        if (IsEscape(c))
            return true;
    return false;
}

// Length of the valid UTF-8 sequence at p (at most n bytes), 0 if none.
int Utf8SequenceLength(const unsigned char* p, int n)
{
    const unsigned char b = p[0];
    int len = 0;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        if (b == 0xE0)
            lo = 0xA0; // no overlong forms
        else if (b == 0xED)
            hi = 0x9F; // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (n < len || p[1] < lo || p[1] > hi)
        return 0;
    for (int i = 2; i < len; ++i)
        if (p[i] < 0x80 || p[i] > 0xBF)
            return 0;
    return len;
}

} // namespace

QByteArray NativeName(const QString& path)
{
    if (!HasEscapes(path))
        return QFile::encodeName(path);
    QByteArray out;
    out.reserve(path.size() * 3);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !IsEscape(path[i]))
            continue;
        out += QFile::encodeName(path.mid(start, i - start));
        if (i < path.size())
            out += static_cast<char>(path[i].unicode() - 0xDC00);
        start = i + 1;
    }
    return out;
}

QString NameFromNative(const QByteArray& bytes)
{
    const QString decoded = QFile::decodeName(bytes);
    if (QFile::encodeName(decoded) == bytes)
        return decoded;
    QString out;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const int n = static_cast<int>(bytes.size());
    int start = 0, i = 0;
    while (i < n) {
        const int len = Utf8SequenceLength(p + i, n - i);
        if (len > 0) {
            i += len;
            continue;
        }
        out += QString::fromUtf8(bytes.constData() + start, i - start);
        out += QChar(static_cast<char16_t>(0xDC00 + p[i]));
        start = ++i;
    }
    out += QString::fromUtf8(bytes.constData() + start, n - start);
    return out;
}

bool QtCanName(const QString& path)
{
    return !HasEscapes(path);
}

QString ShownName(const QString& name)
{
    if (!HasEscapes(name))
        return name;
    QString out = name;
    for (QChar& c : out)
        if (IsEscape(c))
            c = QChar(QChar::ReplacementCharacter);
    return out;
}

QString AbsolutePath(const QString& path)
{
    return QDir::cleanPath(QDir::isAbsolutePath(path) ? path : QDir::currentPath() + QLatin1Char('/') + path);
}

bool OpenForReading(QFile& f, const QString& path, QIODevice::OpenMode mode)
{
#ifndef Q_OS_WIN
    if (!QtCanName(path)) {
        const int fd = ::open(NativeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        if (f.open(fd, mode, QFileDevice::AutoCloseHandle))
            return true;
        ::close(fd);
        return false;
    }
#endif
    f.setFileName(path);
    return f.open(mode);
}

} // namespace qv
