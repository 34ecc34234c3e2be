#pragma once
// The open book follows its source by itself when the settings ask for it (at start,
// every N hours): the source is read on a worker thread, so the window stays usable, and
// what it read lands in the book through the same intake path as the directory dialog's,
// on the window's thread, when no dialog of the window is open. A failure is told once
// and changes nothing; the next interval tries again.
#include <windows.h>

#include <functional>
#include <memory>

#include "settings/core/Settings.h"
#include "util/CMString.h"

class CPhonebook;

class SourceFollower {
public:
    static constexpr UINT_PTR kTimer = 0x5F00;
    static constexpr UINT kLandedMessage = WM_APP + 0x58;

    struct Host {
        HWND window = nullptr;
        std::function<CPhonebook*()> model;
        // The open book's path; empty: none.
        std::function<CMString()> bookPath;
        // Tells the user (the window's balloon).
        std::function<void(const CMString& title, const CMString& text)> notify;
    };

    explicit SourceFollower(Host host);
    ~SourceFollower();
    SourceFollower(const SourceFollower&) = delete;
    SourceFollower& operator=(const SourceFollower&) = delete;

    // Once the book is listed: a follow that is due begins, the next is timed.
    void Start();
    void OnTimer();
    // The worker's read is done.
    void OnLanded();

    // The last thing told, for those who ask (empty: nothing yet).
    const CMString& LastNotice() const { return m_lastNotice; }
    bool Reading() const { return static_cast<bool>(m_job); }

    struct Job;

private:
    void Begin();
    // Carries a read out on the book; false when the book cannot take it yet.
    bool Apply();
    void Failed(const CMString& why);
    void ScheduleNext();
    bool ForThisBook(const CMString& path) const;

    Host m_host;
    settings::Effective m_settings;
    CMString m_book;
    std::shared_ptr<Job> m_job;
    // A read that waits for the book to be writable (or for the window's dialog to close).
    std::shared_ptr<Job> m_pending;
    CMString m_lastNotice;
    // The failure last told: the same one again is not told again.
    CMString m_lastFailure;
};
