// Notes that name files, devices or pipes, and notes nested very deep.
#include "browser/FlightInfo.h"
#include "browser/HtmlFlatten.h"
#include "browser/Notes.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QPrinter>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace qv;
using namespace qv::test;

// A named pipe that counts the readers opening it. A reader would block in
// open() until a writer comes; the watcher comes as one at once, so a fault
// shows as a count instead of a test that never ends.
class TWatchedPipe {
public:
    explicit TWatchedPipe(const QString& path) : path_(path.toStdString())
    {
        ::mkfifo(path_.c_str(), 0600);
        thread_ = std::thread([this] {
            while (!stop_) {
                const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    ++opened_;
                    ::close(fd);
                }
                ::usleep(500);
            }
        });
    }
    ~TWatchedPipe()
    {
        stop_ = true;
        thread_.join();
    }
    int Opened() const { return opened_; }

private:
    std::string path_;
    std::atomic<bool> stop_{false};
    std::atomic<int> opened_{0};
    std::thread thread_;
};

TEST(HostileNotes, NothingNamedInTheNotesIsOpened)
{
    ScriptedMessages msgs;
    TempDir dir;
    TWatchedPipe picture(dir.file("picture"));
    TWatchedPipe sheet(dir.file("sheet.css"));
    const std::string html = "<html><head><link rel=\"stylesheet\" type=\"text/css\" href=\"" +
                             dir.file("sheet.css").toStdString() + "\"></head><body><p>Vzlet <img src=\"" +
                             dir.file("picture").toStdString() + "\"> v 10:42</p></body></html>";

    // The command line's way: the text alone.
    EXPECT_EQ(NotesPlainText(html), QStringLiteral("Vzlet  v 10:42"));

    // The window's: shown in the editor, a picture pasted into it, printed.
    TFlightInfoPage page;
    page.resize(600, 400);
    page.show();
    TFlightInfo info;
    info.FileName = dir.file("Blok1.kdf");
    page.ShowInfo(info);
    page.SetNotes(html);
    page.RichEdit1->insertHtml(QStringLiteral("<img src=\"%1\" width=\"40\" height=\"30\">").arg(dir.file("picture")));
    page.RichEdit1->document()->documentLayout()->documentSize();
    page.grab();
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.file("notes.pdf"));
    page.PrintNotes(printer);

    EXPECT_EQ(picture.Opened(), 0);
    EXPECT_EQ(sheet.Opened(), 0);
    EXPECT_TRUE(page.RichEdit1->toPlainText().contains(QStringLiteral("Vzlet  v 10:42")));
    EXPECT_TRUE(msgs.Texts().isEmpty());
}

TEST(HostileNotes, NestingBeyondTheBoundIsFlattened)
{
    // Within the bound nothing changes; deeper, the tags go, the text stays
    // and a block becomes the next paragraph.
    const QString nested = QStringLiteral("<div>a<div>b<div>c<span>d</span></div>e</div></div>");
    EXPECT_EQ(FlattenHtml(nested, 8), nested);
    EXPECT_EQ(FlattenHtml(nested, 2), QStringLiteral("<div>a<div>b</div><div>cde</div></div>"));
    // Elements whose end may be left out end where the next one begins;
    // unclosed ones end with the element around them.
    EXPECT_EQ(FlattenHtml(QStringLiteral("<ul><li>a<li>b</ul><p>c<p>d"), 8),
              QStringLiteral("<ul><li>a</li><li>b</li></ul><p>c</p><p>d"));
    EXPECT_EQ(FlattenHtml(QStringLiteral("<div><b>x</div>y"), 8), QStringLiteral("<div><b>x</b></div>y"));
    // Markup that opens nothing passes as it is.
    const QString other = QStringLiteral("<!-- <div> --><style>p > b { }</style><p title=\"a>b\">1 < 2<br/></p>");
    EXPECT_EQ(FlattenHtml(other, 1), other);

    // Thousands of levels: every word still read.
    std::string html = "<html><body>";
    for (int i = 0; i < 5000; ++i)
        html += "<div>w";
    html += "</body></html>";
    const QString text = NotesPlainText(html);
    EXPECT_EQ(text.count(QStringLiteral("w")), 5000);
}

} // namespace

namespace {

TEST(HostileNotes, LargeNotesAreShownOnlyWhenAskedFor)
{
    ScriptedMessages msgs;
    TempDir dir;
    TFlightInfoPage page;
    TFlightInfo info;
    info.FileName = dir.file("Blok1.kdf");
    page.ShowInfo(info);
    std::string notes;
    while (notes.size() <= kLargeNotesBytes)
        notes += "Vzlet v 10:42, vitr 3 m/s od zapadu, stoupava cast bez potizi.\r\n";
    const QString question = QStringLiteral("Poznámky tohoto letu jsou velké (2,0 MB), jejich zobrazení může trvat "
                                            "dlouho. Zobrazit je?");

    msgs.QueueAnswer(Answer::No);
    page.SetNotes(notes);
    EXPECT_EQ(msgs.Questions(), QStringList{question});
    EXPECT_TRUE(page.RichEdit1->document()->isEmpty());
    EXPECT_TRUE(page.RichEdit1->isReadOnly());
    EXPECT_EQ(page.RichEdit1->placeholderText(), QStringLiteral("Poznámky (2,0 MB) nejsou zobrazeny."));
    EXPECT_FALSE(page.NotesChanged()); // so the record keeps them
    page.ShowInfo(info);
    EXPECT_TRUE(page.RichEdit1->isReadOnly());

    msgs.QueueAnswer(Answer::Yes);
    page.SetNotes(notes);
    EXPECT_EQ(msgs.Questions().size(), 2);
    EXPECT_TRUE(page.RichEdit1->toPlainText().startsWith(QStringLiteral("Vzlet v 10:42")));
    EXPECT_FALSE(page.RichEdit1->isReadOnly());
    EXPECT_FALSE(page.NotesChanged());

    page.SetNotes("short");
    EXPECT_EQ(msgs.Questions().size(), 2);
    EXPECT_EQ(page.RichEdit1->toPlainText(), QStringLiteral("short"));
}

} // namespace
