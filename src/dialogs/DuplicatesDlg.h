#pragma once
// Entries that share one fax line, set by set, with their numbers as stored and their
// groups. The user selects the entry to keep; Merge removes the others of its set and
// gives the kept entry their groups, in one commit, and the list is read again.
#include <windows.h>

#include <vector>

#include "controls/BitmapButton.h"
#include "controls/Dialog.h"
#include "numbers/core/SharedLines.h"

class CPhonebook;

class CDuplicatesDlg : public Dialog {
public:
    explicit CDuplicatesDlg(CPhonebook& model) : m_model(model) {}
    INT_PTR Run(HWND owner);
    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    // What the list shows: the sets of the last read.
    const std::vector<faxnum::SharedLine>& Lines() const { return m_lines; }

private:
    BOOL OnInitDialog();
    // Reads the book and shows its sets; the row of keep selected when it is listed.
    void Fill(uint16_t keep = 0);
    void UpdateMerge();
    void Merge();
    // The set and entry of the selected row; false without one.
    bool Selected(size_t& set, size_t& entry) const;

    CPhonebook& m_model;
    BitmapButton m_helpButton;
    std::vector<faxnum::SharedLine> m_lines;
};
