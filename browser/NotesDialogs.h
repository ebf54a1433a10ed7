#pragma once
// The dialogs of the notes editor behind a small interface, so that the
// editor can be driven without a modal dialog on the screen.
#include <QColor>
#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLabel;
class QPrinter;

namespace qv {

// What the font dialog edits: character set, colour, height and size,
// name, pitch and style.
struct TFontChoice {
    QString Name;
    double Points = 10;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strike = false;
    QColor Colour;          // invalid: the window's text colour
    int Charset = 238;      // Windows character set number
    bool FixedPitch = false;
};

class INotesDialogs {
public:
    virtual ~INotesDialogs() = default;
    // The font dialog preset with choice; false when cancelled.
    virtual bool ChooseFont(TFontChoice& choice) = 0;
    // The printer set-up dialog; false when cancelled.
    virtual bool SetupPrinter(QPrinter& printer) = 0;
};

// The program's own: TFontDialog and the system's print dialog.
class TSystemNotesDialogs : public INotesDialogs {
public:
    explicit TSystemNotesDialogs(QWidget* owner) : owner_(owner) {}
    bool ChooseFont(TFontChoice& choice) override;
    bool SetupPrinter(QPrinter& printer) override;

private:
    QWidget* owner_;
};

// Font dialog with the fields of TFontChoice.
class TFontDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFontDialog(QWidget* parent = nullptr);
    void SetChoice(const TFontChoice& choice);
    TFontChoice Choice() const;

    QFontComboBox* ComboName = nullptr;
    QComboBox* ComboStyle = nullptr;
    QComboBox* ComboSize = nullptr;
    QCheckBox* CheckStrike = nullptr;
    QCheckBox* CheckUnderline = nullptr;
    QComboBox* ComboColour = nullptr;
    QComboBox* ComboScript = nullptr;
    QLabel* LabelSample = nullptr;

private:
    void UpdateSample();
};

} // namespace qv
