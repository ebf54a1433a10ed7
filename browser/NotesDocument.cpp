#include "browser/NotesDocument.h"

#include <QImage>
#include <QUrl>
#include <QVariant>

namespace qv {

TNotesDocument::TNotesDocument(QObject* parent) : QTextDocument(parent) {}

QVariant TNotesDocument::loadResource(int, const QUrl&)
{
    // A picture of one transparent pixel: the image handler takes it as
    // found and so never falls back to opening the named file itself; a
    // style sheet request gets no text from it.
    QImage image(1, 1, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

} // namespace qv
