#pragma once
// A stand-in for the main window behind the data tree: opens files through
// a test's function and records the tree-notification switch.
#include "browser/DataTree.h"

#include <functional>
#include <vector>

namespace qv::test {

class TTestTreeHost : public ITreeHost {
public:
    int OpenFile(const QString& fileName) override { return Open ? Open(fileName) : -1; }
    bool NotificationsOn() const override { return Notify; }
    void SetNotificationsOn(bool on) override
    {
        Notify = on;
        Switches.push_back(on);
    }
    bool Busy() const override { return false; }

    std::function<int(const QString&)> Open;
    bool Notify = true;
    std::vector<bool> Switches; // every setting of the switch, in order
};

} // namespace qv::test
