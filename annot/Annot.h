#pragma once
// The annotation list of the open files: choose a file, then add, modify
// and delete its annotations.
#include "annot/AnnotStore.h"
#include "ui/BareForm.h"

class QComboBox;
class QListWidget;
class QPushButton;

namespace qv {

class TFormAnnotEdit;

class TFormAnnot : public TBareForm {
    Q_OBJECT
public:
    TFormAnnot(TFormAnnotEdit& editor, QWidget* parent = nullptr);

    QComboBox* ComboBox1 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QPushButton* ButtonAdd = nullptr;
    QPushButton* ButtonModify = nullptr;
    QPushButton* ButtonDelete = nullptr;
    QPushButton* ButtonClose = nullptr;

    // Fills the file list, selects row (none when it is not a valid entry)
    // and shows the list of that file; Execute then runs the dialog.
    void Prepare(IAnnotStore& store, int row);
    void Execute(IAnnotStore& store, int row);

    // Handlers.
    void ComboBox1Change();
    void ButtonAddClick();
    void ButtonModifyClick();
    void ButtonDeleteClick();
    void UpdateButtons();

private:
    // The selected file's row when it has a record; else the assertion
    // (and, when pointerError, "Pointer not found!").
    int SelectedRecordRow(const char* where, bool pointerError);

    TFormAnnotEdit& editor_;
    IAnnotStore* store_ = nullptr;
};

// "New Annotation" of the chart's pop-up: runs the edit dialog (its fields
// already hold the clicked point) and adds the point to the row's file.
// Returns whether a point was added.
bool AddAnnotationFromChart(TFormAnnotEdit& editor, IAnnotStore& store, int row);

} // namespace qv
