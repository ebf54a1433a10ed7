#pragma once
// Listings that tell whether the data tree shows exactly what is on the
// disk: folders end in "/", data files carry their name on the disk.
#include "browser/DataTree.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace qv::test {

inline void Touch(const QString& path, const QByteArray& bytes = {})
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

// The folders and ".kdf" files below root.
inline QStringList DiskListing(const QString& root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = QDir(root).relativeFilePath(it.next());
        if (it.fileInfo().isDir())
            out << rel + QLatin1Char('/');
        else if (rel.endsWith(QLatin1String(".kdf"), Qt::CaseInsensitive))
            out << rel;
    }
    out.sort();
    return out;
}

// The nodes below the root, by their texts and records; a file node whose
// text does not match its record shows up as "?".
inline QStringList TreeListing(const TDataTree& tree)
{
    QStringList out;
    tree.ForEach([&](TTreeNode* n) {
        if (!n->Parent)
            return;
        QString rel = n->IsFolder() ? n->Text + QLatin1Char('/') : n->Data->Name;
        if (!n->IsFolder() && n->Data->Name != n->Text + QLatin1String(".kdf"))
            rel = QStringLiteral("?") + rel;
        for (const TTreeNode* p = n->Parent; p && p->Parent; p = p->Parent)
            rel = p->Text + QLatin1Char('/') + rel;
        out << rel;
    });
    out.sort();
    return out;
}

} // namespace qv::test
