// File dialog filters from the "Description|*.ext" form.
#include "base/MessageService.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace qv;

TEST(QtFilterFromPipes, PatternsShownOnceAndJoined)
{
    EXPECT_EQ(QtFilterFromPipes(QStringLiteral("Dosk data (kdf)|*.kdf")), QStringLiteral("Dosk data (kdf) (*.kdf)"));
    EXPECT_EQ(QtFilterFromPipes(QStringLiteral("Bitmaps (*.bmp)|*.bmp|Metafiles (*.wmf)|*.wmf|Both|*.bmp;*.wmf")),
              QStringLiteral("Bitmaps (*.bmp);;Metafiles (*.wmf);;Both (*.bmp *.wmf)"));
}
