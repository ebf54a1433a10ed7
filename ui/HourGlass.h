#pragma once
// The hourglass cursor for the life of a scope, restored also when the work
// fails.
#include <QCursor>
#include <QGuiApplication>

namespace qv {

class THourGlass {
public:
    THourGlass() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~THourGlass() { QGuiApplication::restoreOverrideCursor(); }
    THourGlass(const THourGlass&) = delete;
    THourGlass& operator=(const THourGlass&) = delete;
};

} // namespace qv
