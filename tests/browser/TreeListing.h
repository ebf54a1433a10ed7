#pragma once
// Listings that tell whether the data tree shows exactly what is on the
// disk (folders end in "/", data files carry their name on the disk), and
// whether the widget shows exactly the tree.
#include "browser/TreeView.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTreeWidgetItem>
#include <gtest/gtest.h>

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

// The widget tree shows exactly the nodes of the core tree, in order.
inline void ExpectMirrors(TTreeView& view, const TTreeNode* node, QTreeWidgetItem* item)
{
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(0), node->Text);
    EXPECT_EQ(view.NodeOf(item), node);
    ASSERT_EQ(item->childCount(), static_cast<int>(node->Children.size())) << node->Text.toStdString();
    for (int i = 0; i < item->childCount(); ++i)
        ExpectMirrors(view, node->Children[i].get(), item->child(i));
}

} // namespace qv::test
