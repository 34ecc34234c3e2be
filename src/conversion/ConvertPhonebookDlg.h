#pragma once
// The question whether an older-format phone book is to be converted: Yes or No are
// the only answers, so neither Esc nor a close box ends it.
#include <windows.h>

#include "controls/BitmapButton.h"
#include "controls/Dialog.h"
#include "controls/TransparentPicture.h"

class CPhonebook;
class CPhoneBookDlg;

class CConvertPhonebookDlg : public Dialog {
public:
    CConvertPhonebookDlg(CPhoneBookDlg* owner, CPhonebook* model);
    ~CConvertPhonebookDlg() override = default;

    // IDYES or IDNO; the template follows the language's direction.
    INT_PTR DoModal(HWND owner);

    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    virtual void OnYes();
    virtual void OnNo();

private:
    BOOL OnInitDialog();

    CPhonebook* m_model;
    TransparentPicture m_picture;
    CPhoneBookDlg* m_owner;
    BitmapButton m_helpButton;
};
