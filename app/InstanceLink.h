#pragma once
// One program window per user: a later start of the program hands the files
// of its command line to the window that runs already, over a local socket
// in the user's runtime folder, and ends.
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace qv {

class TInstanceLink : public QObject {
    Q_OBJECT
public:
    // name: the socket's path (see DefaultName).
    explicit TInstanceLink(const QString& name = DefaultName(), QObject* parent = nullptr);
    ~TInstanceLink() override;

    // "quorvel.socket" in the user's runtime folder ($XDG_RUNTIME_DIR).
    static QString DefaultName();

    // Hands absolute file names to the program that listens on the name;
    // true once it has taken them. False when none listens or it does not
    // answer within timeoutMs.
    bool HandOver(const QStringList& files, int timeoutMs = 5000) const;

    // Listens for later starts. False when another program listens on the
    // name already; a socket left behind by one that died is taken over.
    bool Listen();
    bool Listening() const;
    const QString& Name() const { return name_; }

signals:
    // A later start handed these files (maybe none: it only asked for the
    // window).
    void FilesReceived(const QStringList& files);

private:
    void Receive(QLocalSocket* socket);

    QString name_;
    QLocalServer* server_ = nullptr;
};

} // namespace qv
