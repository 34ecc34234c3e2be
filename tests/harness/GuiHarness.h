#pragma once
// Drives real windows in-process: pumps messages, reads control states, and answers
// modal dialogs and message boxes as they appear.
#include <windows.h>

#include <functional>
#include <vector>

#include "util/CMString.h"

namespace harness {

// Dispatches this thread's messages until none arrive for settleMs.
void PumpUntilIdle(int settleMs = 30, int maxMs = 2000);
// Dispatches messages until the condition holds; false on time-out.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

CMString WindowText(HWND window);
CMString ItemText(HWND dialog, int id);
bool IsItemEnabled(HWND dialog, int id);
// The tooltip text a control was given; empty when it has none.
CMString ToolTipOf(HWND control);

// What a modal window showed when it became active.
struct SeenWindow {
    HWND window = nullptr;
    CMString className;
    CMString caption;
    CMString text;  // the non-empty static texts, joined by "\n"
    std::vector<std::pair<int, CMString>> buttons;
    LONG_PTR style = 0;
    LONG_PTR exStyle = 0;
};

// Watches windows that become active on this thread (a thread-local CBT hook). Each
// dialog-class window made after the driver is recorded and handed to the next scripted step; a window
// that arrives with no step left is cancelled, so a test never hangs on it.
class ModalDriver {
public:
    using Step = std::function<void(const SeenWindow& seen)>;
    ModalDriver();
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    ModalDriver& Then(Step step);
    // A step that presses the button with this id (posted, so the window's own loop runs it).
    static Step Press(int buttonId);
    ModalDriver& ThenPress(int buttonId) { return Then(Press(buttonId)); }

    const std::vector<SeenWindow>& Seen() const { return m_seen; }
    size_t PendingSteps() const { return m_steps.size() - m_next; }

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);
    void OnActivate(HWND window);

    HHOOK m_hook = nullptr;
    std::vector<Step> m_steps;
    size_t m_next = 0;
    std::vector<SeenWindow> m_seen;
    std::vector<HWND> m_created;
    ModalDriver* m_previous = nullptr;
};

SeenWindow Describe(HWND window);

}  // namespace harness
