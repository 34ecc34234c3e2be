#pragma once
// The print preview: the pages as the printer will print them, one at a time, with
// zoom and next and previous page. Print ends it with IDC_PREVIEW_PRINT.
#include <windows.h>

#include <memory>

#include "controls/Dialog.h"
#include "printing/core/PageLayout.h"

namespace printing {

class PagePicture;

class CPreviewDlg : public Dialog {
public:
    CPreviewDlg(const Document& document, const Paper& paper, Layout layout);
    ~CPreviewDlg() override;
    INT_PTR Run(HWND owner);
    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    int PageIndex() const { return m_page; }
    int PageCount() const { return static_cast<int>(m_layout.pages.size()); }
    // Pixels per paper inch on the screen now.
    int Zoom() const;

private:
    static LRESULT CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    BOOL OnInitDialog();
    void ShowPage(int page);
    void SetZoom(int step);
    void Arrange();
    void UpdateScrollBars();
    void Scroll(int bar, int code, int delta = 0);
    void PaintPage(HWND page);
    bool OnKey(WPARAM key);

    const Document& m_document;
    Paper m_paper;
    Layout m_layout;
    int m_page = 0;
    // 0: the whole page in view; else a step of kZoomSteps.
    int m_zoomStep = 0;
    int m_scrollX = 0, m_scrollY = 0;
    int m_pageTop = 0;  // where the page's view begins under the buttons
    std::unique_ptr<PagePicture> m_picture;
    bool m_pictureStale = true;
};

}  // namespace printing
