// The notes editor's commands: formatting, clipboard, printing and keys.
#include "browser/FlightInfo.h"

#include "base/MessageService.h"
#include "browser/NotesDialogs.h"
#include "browser/Notes.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPrinter>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <stdexcept>
#include <vector>

namespace qv {

namespace {

// Character set chosen in the font dialog, kept with the text it was set on.
constexpr int kCharsetProperty = QTextFormat::UserProperty + 1;

} // namespace

void TFlightInfoPage::MergeFormat(const QTextCharFormat& format)
{
    if (RichEdit1->isReadOnly())
        return;
    RichEdit1->mergeCurrentCharFormat(format);
}

void TFlightInfoPage::TBStyleClick(QToolButton* button)
{
    if (updating_)
        return;
    QTextCharFormat f;
    if (button == TBBold)
        f.setFontWeight(button->isChecked() ? QFont::Bold : QFont::Normal);
    else if (button == TBItalic)
        f.setFontItalic(button->isChecked());
    else
        f.setFontUnderline(button->isChecked());
    MergeFormat(f);
    RichEdit1->setFocus();
}

void TFlightInfoPage::TBFontClick()
{
    const QTextCharFormat cf = RichEdit1->currentCharFormat();
    const QFont font = cf.font().resolve(RichEdit1->document()->defaultFont());
    TFontChoice c;
    c.Name = font.family();
    c.Points = font.pointSizeF() > 0 ? font.pointSizeF() : kNotesFontPoints;
    c.Bold = font.bold();
    c.Italic = font.italic();
    c.Underline = font.underline();
    c.Strike = font.strikeOut();
    c.FixedPitch = font.fixedPitch();
    if (cf.hasProperty(QTextFormat::ForegroundBrush) && cf.foreground().style() != Qt::NoBrush)
        c.Colour = cf.foreground().color();
    if (cf.hasProperty(kCharsetProperty))
        c.Charset = cf.intProperty(kCharsetProperty);
    if (!dialogs_->ChooseFont(c) || RichEdit1->isReadOnly())
        return;
    QTextCharFormat f;
    f.setFontFamilies(QStringList{c.Name});
    f.setFontPointSize(c.Points > 0 ? c.Points : kNotesFontPoints);
    f.setFontWeight(c.Bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(c.Italic);
    f.setFontUnderline(c.Underline);
    f.setFontStrikeOut(c.Strike);
    f.setFontFixedPitch(c.FixedPitch);
    f.setProperty(kCharsetProperty, c.Charset);
    if (c.Colour.isValid()) {
        f.setForeground(c.Colour);
        MergeFormat(f);
    } else {
        // The window's text colour: the colour property goes.
        QTextCursor cur = RichEdit1->textCursor();
        const int start = cur.selectionStart(), end = cur.selectionEnd();
        std::vector<std::pair<int, int>> ranges;
        for (QTextBlock b = RichEdit1->document()->findBlock(start); b.isValid() && b.position() <= end;
             b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment fr = it.fragment();
                const int s = qMax(start, fr.position()), e = qMin(end, fr.position() + fr.length());
                if (s < e)
                    ranges.emplace_back(s, e);
            }
        cur.beginEditBlock();
        for (auto [s, e] : ranges) {
            QTextCursor part(RichEdit1->document());
            part.setPosition(s);
            part.setPosition(e, QTextCursor::KeepAnchor);
            QTextCharFormat t = part.charFormat();
            t.merge(f);
            t.clearForeground();
            part.setCharFormat(t);
        }
        cur.endEditBlock();
        QTextCharFormat typing = RichEdit1->currentCharFormat();
        typing.merge(f);
        typing.clearForeground();
        RichEdit1->setCurrentCharFormat(typing);
    }
    RichEdit1SelectionChange();
    RichEdit1->setFocus();
}

void TFlightInfoPage::ComboBoxFontNameChange(const QString& name)
{
    if (updating_)
        return;
    if (!name.isEmpty()) {
        QTextCharFormat f;
        f.setFontFamilies(QStringList{name});
        MergeFormat(f);
    }
    RichEdit1->setFocus();
}

void TFlightInfoPage::ComboBoxFontSizeChange(const QString& text)
{
    if (updating_)
        return;
    bool ok = false;
    int points = text.toInt(&ok);
    if (!ok || points < 1)
        points = 10;
    QTextCharFormat f;
    f.setFontPointSize(qMin(points, 1638));
    MergeFormat(f);
}

void TFlightInfoPage::AlignClick(int tag)
{
    if (updating_)
        return;
    if (!RichEdit1->isReadOnly())
        RichEdit1->setAlignment(QtAlignment(tag == AlignJustify ? AlignLeft : tag));
    RichEdit1SelectionChange();
}

void TFlightInfoPage::TBCutClick()
{
    RichEdit1->cut();
    RichEdit1->setFocus();
}

void TFlightInfoPage::TBCopyClick()
{
    RichEdit1->copy();
    RichEdit1->setFocus();
}

void TFlightInfoPage::TBPasteClick()
{
    if (RichEdit1->isReadOnly())
        return;
    QTextCharFormat courier;
    courier.setFontFamilies(QStringList{QStringLiteral("Courier New")});
    RichEdit1->mergeCurrentCharFormat(courier);
    const QMimeData* md = QApplication::clipboard()->mimeData();
    if (md && md->hasText() && !md->hasHtml()) {
        // Plain text takes the format of the place it goes to.
        QTextCursor c = RichEdit1->textCursor();
        QTextCharFormat f = c.charFormat();
        f.merge(courier);
        QString text = md->text();
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        c.beginEditBlock();
        c.removeSelectedText();
        c.insertText(text, f);
        c.endEditBlock();
        RichEdit1->setTextCursor(c);
    } else {
        RichEdit1->paste();
    }
    RichEdit1->setFocus();
}

void TFlightInfoPage::TBUndoClick()
{
    if (RichEdit1)
        RichEdit1->undo();
}

void TFlightInfoPage::TBPrintClick()
{
    QPrinter printer;
    if (!dialogs_->SetupPrinter(printer))
        return;
    try {
        PrintNotes(printer);
    } catch (const std::exception& e) {
        Messages().Error(QStringLiteral("Error by Printig richedit!\n") + QString::fromLocal8Bit(e.what()));
    }
}

void TFlightInfoPage::PrintNotes(QPrinter& printer)
{
    printer.setDocName(QString());
    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString where = printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
        throw std::runtime_error(QStringLiteral("The printer \"%1\" cannot be opened.").arg(where).toStdString());
    }
    // The copy asks the notes document for whatever it names, so it too
    // reads nothing from outside the notes.
    const std::unique_ptr<QTextDocument> doc(RichEdit1->document()->clone(RichEdit1->document()));
    doc->documentLayout()->setPaintDevice(&printer);
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    doc->setPageSize(page.size());
    const int pages = doc->pageCount();
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !printer.newPage())
            throw std::runtime_error("The printer refused a new page.");
        painter.save();
        painter.translate(0, -i * page.height());
        doc->drawContents(&painter, QRectF(0, i * page.height(), page.width(), page.height()));
        painter.restore();
    }
    if (!painter.end())
        throw std::runtime_error("The printer could not finish the document.");
}

void TFlightInfoPage::PreparePopup()
{
    UpdateUndoPaste();
    pmnuUndo->setEnabled(TBUndo->isEnabled());
    pmnuPaste->setEnabled(TBPaste->isEnabled());
    pmnuCopy->setEnabled(TBCopy->isEnabled());
    pmnuCut->setEnabled(TBCut->isEnabled());
    pmnuLeft->setChecked(TBLeftAlign->isChecked());
    pmnuCenter->setChecked(TBCenterAlign->isChecked());
    pmnuRight->setChecked(TBRightAlign->isChecked());
}

bool TFlightInfoPage::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type t = event->type();
    if (t != QEvent::KeyPress && t != QEvent::ShortcutOverride)
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == RichEdit1) {
        const Qt::KeyboardModifiers mods = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
        const bool ours = (mods == Qt::ControlModifier && (key->key() == Qt::Key_B || key->key() == Qt::Key_I ||
                                                           key->key() == Qt::Key_U || key->key() == Qt::Key_S ||
                                                           key->key() == Qt::Key_N)) ||
                          (mods == Qt::NoModifier && key->key() == Qt::Key_Tab);
        if (!ours)
            return false;
        if (t == QEvent::ShortcutOverride) {
            event->accept(); // the editor's, not a shortcut of the window
            return false;
        }
        return EditorKey(key->key(), mods);
    }
    if (watched == ComboBoxFontSize->lineEdit() && t == QEvent::KeyPress)
        return SizeBoxKey(key->key(), key->text(), key->modifiers());
    return QWidget::eventFilter(watched, event);
}

bool TFlightInfoPage::EditorKey(int key, Qt::KeyboardModifiers)
{
    const QTextCharFormat cur = RichEdit1->currentCharFormat();
    QTextCharFormat f;
    switch (key) {
    case Qt::Key_B:
        f.setFontWeight(cur.fontWeight() > QFont::Normal ? QFont::Normal : QFont::Bold);
        break;
    case Qt::Key_I:
    case Qt::Key_Tab:
        f.setFontItalic(!cur.fontItalic());
        break;
    case Qt::Key_U:
        f.setFontUnderline(!cur.fontUnderline());
        break;
    case Qt::Key_S:
        f.setFontStrikeOut(!cur.fontStrikeOut());
        break;
    default: // Ctrl+N: plain text
        f.setFontWeight(QFont::Normal);
        f.setFontItalic(false);
        f.setFontUnderline(false);
        f.setFontStrikeOut(false);
        break;
    }
    MergeFormat(f);
    RichEdit1SelectionChange();
    return true; // the key itself is not typed
}

bool TFlightInfoPage::SizeBoxKey(int key, const QString& text, Qt::KeyboardModifiers mods)
{
    switch (key) {
    case Qt::Key_Backspace:
        return false;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        ComboBoxFontSizeChange(ComboBoxFontSize->currentText());
        RichEdit1->setFocus();
        return true;
    case Qt::Key_Escape:
        RichEdit1->setFocus();
        RichEdit1SelectionChange();
        return true;
    default:
        break;
    }
    if (text.size() == 1 && text.at(0).isDigit())
        return false;
    if (mods & (Qt::ControlModifier | Qt::AltModifier))
        return false; // shortcuts: select all, copy
    // Any other character is refused; keys that type none (arrows) work.
    return !text.isEmpty() && text.at(0).isPrint();
}

} // namespace qv
