#pragma once
// The text document of the notes. Notes are the file's own text: the
// document never reads anything from outside it, not the pictures, style
// sheets or pages its HTML names (a name may well be a device or a pipe
// that feeds or blocks the reader without end). Every such resource is
// answered by an empty picture.
#include <QTextDocument>

namespace qv {

class TNotesDocument : public QTextDocument {
    Q_OBJECT
public:
    explicit TNotesDocument(QObject* parent = nullptr);

protected:
    // Also answers for the document's clones made with it as their parent
    // (a plain document asks its parent document before it reads files).
    QVariant loadResource(int type, const QUrl& name) override;
};

} // namespace qv
