#pragma once
// The dialog in which the user sets up an import or an export of delimited text: the
// file, the record and field delimiters, the columns and their order, and the
// encoding. One class serves both directions; its mode decides the texts, the columns
// offered, the file chooser's settings, the checks on OK and the help topic.
#include <windows.h>
#include <shellapi.h>

#include "controls/BitmapButton.h"
#include "controls/Dialog.h"
#include "controls/MessageDialog.h"
#include "controls/TransparentPicture.h"
#include "importexport/CheckListBox.h"
#include "importexport/DelimitedTextFile.h"
#include "importexport/core/DelimitedText.h"
#include "util/CMString.h"

class CPhonebook;

class CImportExportDlg : public Dialog {
public:
    static constexpr int kImport = 1;
    static constexpr int kExport = 2;
    // Dialog results.
    static constexpr INT_PTR kDone = 1;
    static constexpr INT_PTR kCancelled = 2;

    explicit CImportExportDlg(CheckListBox::Style boxStyle = CheckListBox::Style::System);

    // Set by the creator before the dialog runs.
    void SetModel(CPhonebook* model) { m_model = model; }
    void SetMode(int mode) { m_mode = mode; }
    void SetCapacity(int capacity) { m_capacity = capacity; }
    // UTF-8 is offered only for books handled through the wide entry points; the
    // choice then starts on.
    void SetUtf8Available(bool available) { m_utf8Available = m_utf8On = available; }
    bool SetModeBitmap(UINT bitmapId) { return m_picture.Load(bitmapId); }

    // Runs modally from the template of the reading direction: kDone when the import
    // or export ran, kCancelled otherwise, -1 when the dialog cannot be made.
    INT_PTR Run(HWND owner);

    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    // The settings as they stand (for the creator and tests).
    const CMString& RecordDelimiter() const { return m_recordDelimiter; }
    const CMString& FieldDelimiter() const { return m_fieldDelimiter; }
    bool Utf8On() const { return m_utf8On; }
    // Export: whether the first line is to name the columns.
    bool HeaderLine() const { return m_headerLine; }
    bool Updating() const { return m_update; }
    CheckListBox& ColumnList() { return m_columns; }
    // Of the last import the dialog ran.
    const delimited::ImportCounters& Counters() const { return m_counters; }

private:
    BOOL OnInitDialog();
    INT_PTR OnCommand(WORD id, WORD code);
    void FillColumns();
    void UpdateMoveButtons();
    void MoveUp();
    void MoveDown();
    void OnRecordDelimiterChosen();
    void OnFieldDelimiterChosen();
    void TakeCustomRecordDelimiter();
    void TakeCustomFieldDelimiter();
    void Browse();
    void ShowHelp();
    void OnOk();
    // Import: tells under the column list whether the file is read by the names its
    // first line gives.
    void UpdateFileNote();
    void OnDropFiles(HDROP drop);
    // Export has a one-line check box where import has the note: what lies below it
    // moves up, and the dialog shrinks.
    void CloseUpBelowHeaderBox();
    // Delimiters and columns, which a vCard file has no use for.
    void EnableLayoutControls(bool enable);
    // The column an item's label names; false for none.
    bool ItemColumn(int index, delimited::Column& column);
    // Whether the item naming this column is checked; its index (-1 for none) in index.
    bool IsColumnChecked(delimited::Column column, int* index = nullptr);
    delimited::Layout CurrentLayout();
    void ShowMessage(unsigned captionId, unsigned textId);
    void Paint();

    CheckListBox m_columns;
    BitmapButton m_browseButton;
    BitmapButton m_upButton;
    BitmapButton m_downButton;
    BitmapButton m_helpButton;
    MessageSource m_message;
    delimited::ImportCounters m_counters;
    TransparentPicture m_picture;
    int m_mode = 0;
    CMString m_recordDelimiter = L"\r\n";
    CMString m_fieldDelimiter = L",";
    CPhonebook* m_model = nullptr;
    int m_capacity = 1000;
    bool m_utf8Available = true;
    bool m_utf8On = true;
    bool m_headerLine = false;
    bool m_update = false;
    bool m_layoutEnabled = true;
    // What the note last read of the named file, and when the file was written then.
    DelimitedTextFile::Glance m_glance;
    CMString m_glancePath;
    WIN32_FILE_ATTRIBUTE_DATA m_glanceStamp = {};
};
