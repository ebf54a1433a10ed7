#pragma once
// File names as the disk holds them. On POSIX a name is a string of bytes
// that need not be valid UTF-8 (a flight copied from old media in
// Windows-1250); Qt's own file classes drop such names or turn their bytes
// into U+FFFD, and then reach a different file. A path made by
// NameFromNative keeps every byte: a byte that is not part of valid UTF-8
// becomes one of the code points U+DC80..U+DCFF, which valid UTF-8 never
// yields, and NativeName turns it back into the same byte. Such a path
// works only through NativeName and the calls below, never through QFile,
// QFileInfo or QDir.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace qv {

// The bytes of a name or path on the disk.
QByteArray NativeName(const QString& path);
// A name or path read from the disk, every byte kept.
QString NameFromNative(const QByteArray& bytes);
// Whether Qt's own file classes reach the same file under this path.
bool QtCanName(const QString& path);
// The name as shown to the user: bytes that were not text are U+FFFD.
QString ShownName(const QString& name);

// The path made absolute and clean by its text alone (QFileInfo goes
// through the bytes and loses those that are not text).
QString AbsolutePath(const QString& path);

// Opens the file at path (any name from NameFromNative) into f for reading.
bool OpenForReading(QFile& f, const QString& path, QIODevice::OpenMode mode = QIODevice::ReadOnly);

} // namespace qv
