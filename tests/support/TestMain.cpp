// Runs every test under a QApplication; offscreen unless told otherwise.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Downloaded memory images go to a folder of this run, never into the
    // user's own data location.
    QTemporaryDir images;
    if (qEnvironmentVariableIsEmpty("QUORVEL_IMAGE_DIR"))
        qputenv("QUORVEL_IMAGE_DIR", images.path().toLocal8Bit());
    // The same for the logbook's index.
    QTemporaryDir logbook;
    if (qEnvironmentVariableIsEmpty("QUORVEL_LOGBOOK_DIR"))
        qputenv("QUORVEL_LOGBOOK_DIR", logbook.path().toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    return RUN_ALL_TESTS();
}
