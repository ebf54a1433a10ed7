#include "app/InstanceLink.h"

#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace qv {

namespace {
// What a later start sends: this tag, then the file names; the window
// answers one byte when it has them.
constexpr quint32 kTag = 0x51564C31; // "QVL1"
constexpr char kTaken = 'K';
constexpr auto kStreamVersion = QDataStream::Qt_6_0;
} // namespace

TInstanceLink::TInstanceLink(const QString& name, QObject* parent) : QObject(parent), name_(name) {}

TInstanceLink::~TInstanceLink() = default;

QString TInstanceLink::DefaultName()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return QDir(dir).filePath(QStringLiteral("quorvel.socket"));
}

bool TInstanceLink::HandOver(const QStringList& files, int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(qMin(timeoutMs, 1000)))
        return false;
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << kTag << files;
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    char answer = 0;
    return socket.getChar(&answer) && answer == kTaken;
}

bool TInstanceLink::Listen()
{
    if (Listening())
        return true;
    // Someone answers there: that window stays the one.
    {
        QLocalSocket probe;
        probe.connectToServer(name_);
        if (probe.waitForConnected(500))
            return false;
    }
    if (!server_) {
        // No socket options: with them Qt would put a new socket in place
        // of any there. The runtime folder is the user's alone.
        server_ = new QLocalServer(this);
        connect(server_, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* s = server_->nextPendingConnection()) {
                connect(s, &QLocalSocket::readyRead, this, [this, s] { Receive(s); });
                connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
                Receive(s); // the bytes may be there already
            }
        });
    }
    if (server_->listen(name_))
        return true;
    if (server_->serverError() != QAbstractSocket::AddressInUseError)
        return false;
    // Left behind by a program that did not end cleanly.
    QLocalServer::removeServer(name_);
    return server_->listen(name_);
}

bool TInstanceLink::Listening() const { return server_ && server_->isListening(); }

void TInstanceLink::Receive(QLocalSocket* socket)
{
    QDataStream in(socket);
    in.setVersion(kStreamVersion);
    in.startTransaction();
    quint32 tag = 0;
    QStringList files;
    in >> tag >> files;
    if (!in.commitTransaction())
        return; // more to come
    if (tag != kTag) {
        socket->abort();
        return;
    }
    // Answer first: opening may ask questions, and the later start need
    // not wait for them.
    socket->putChar(kTaken);
    socket->flush();
    socket->disconnectFromServer();
    emit FilesReceived(files);
}

} // namespace qv
