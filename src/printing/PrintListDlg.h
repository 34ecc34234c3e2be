#pragma once
// File > Print: which entries (those the list shows, or the members of the selected
// groups), which columns and whether by group, remembered per user; then the preview
// or the common print dialog, and the print with its progress.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "controls/BitmapButton.h"
#include "controls/Dialog.h"
#include "printing/core/PageLayout.h"
#include "printing/core/PrintSelection.h"

class PhonebookDB;

namespace printing {

// The choices the dialog keeps between runs, under the user's settings key.
struct PrintSettings {
    std::vector<Column> columns = {Column::Name, Column::Fax, Column::Organization, Column::Phone};
    bool selectedGroups = false;
    bool byGroup = false;
    static PrintSettings Load();
    void Save() const;
};

// What the main window offers the print.
struct PrintSource {
    std::wstring bookPath;
    // The entries the list shows, in its order.
    std::vector<uint16_t> listOrder;
    // The groups selected in the list.
    std::vector<uint16_t> selectedGroups;
};

class CPrintListDlg : public Dialog {
public:
    CPrintListDlg(PhonebookDB& db, PrintSource source) : m_db(db), m_source(std::move(source)) {}
    // IDOK once printed; IDCANCEL otherwise.
    INT_PTR Run(HWND owner);
    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    const PrintSettings& Settings() const { return m_settings; }
    // The pages' content for the choices now made; false (told) when the book cannot
    // be read.
    bool MakeDocument(Document& document);

private:
    BOOL OnInitDialog();
    void ReadChoices();
    void UpdateButtons();
    void Preview();
    void Print();
    // Prints to the DC the common dialog gave, with the progress window; true when done.
    bool PrintTo(HDC printer, const Document& document);

    PhonebookDB& m_db;
    PrintSource m_source;
    PrintSettings m_settings;
    BitmapButton m_helpButton;
};

}  // namespace printing
