#include "mainwindow/FollowSource.h"

#include <atomic>
#include <thread>

#include "app/AppGlobals.h"
#include "carddav/AddressBook.h"
#include "data/CPhonebook.h"
#include "directory/LdapReader.h"
#include "intake/Applier.h"
#include "numbers/HomeCountry.h"
#include "resources/text_ids.h"
#include "settings/SettingsStore.h"

namespace {

// A book that cannot be written yet is tried again this often.
constexpr UINT kRetryMilliseconds = 2000;
// Timers are kept short of USER_TIMER_MAXIMUM; the schedule is read again when one fires.
constexpr uint64_t kLongestWaitSeconds = 24 * 3600;

CMString LocalTime() {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    wchar_t date[64] = {}, time[64] = {};
    GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 64, nullptr);
    GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &now, nullptr, time, 64);
    return CMString(date) + L" " + time;
}

}  // namespace

// What the worker reads and the window's thread takes; done is set last.
struct SourceFollower::Job {
    settings::Source source;
    directory::Connection directory;
    carddav::Connection addressBook;
    delimited::CharacterRules rules;
    intake::SourceRead read;
    // The fault's words, made on the worker with the connection they name; empty: none.
    CMString fault;
    size_t directoryEntries = 0;
    uint32_t readMs = 0;
    std::atomic<bool> done{false};
};

SourceFollower::SourceFollower(Host host) : m_host(std::move(host)) {}

SourceFollower::~SourceFollower() {
    if (m_host.window) KillTimer(m_host.window, kTimer);
    // A worker still reading keeps its job alive and posts to a window that is gone.
}

bool SourceFollower::ForThisBook(const CMString& path) const {
    const std::wstring& named = m_settings.Text(settings::Id::FollowBook);
    if (named.empty()) return true;
    wchar_t a[MAX_PATH * 2] = {}, b[MAX_PATH * 2] = {};
    GetFullPathNameW(named.c_str(), MAX_PATH * 2, a, nullptr);
    GetFullPathNameW(path.c_str(), MAX_PATH * 2, b, nullptr);
    return CMString(a).CompareNoCase(b) == 0;
}

void SourceFollower::Start() {
    m_settings = settings::ReadEffective();
    m_book = m_host.bookPath ? m_host.bookPath() : CMString();
    if (m_book.IsEmpty() || !m_settings.Follows() || !ForThisBook(m_book)) return;
    const settings::FollowRecord last = settings::ReadFollowRecord(m_book.str());
    if (settings::FollowDue(m_settings, settings::NowSeconds(), last.lastSeconds, true))
        Begin();
    else
        ScheduleNext();
}

void SourceFollower::ScheduleNext() {
    if (!m_host.window) return;
    const settings::FollowRecord last = settings::ReadFollowRecord(m_book.str());
    uint64_t wait = settings::SecondsToNextFollow(m_settings, settings::NowSeconds(), last.lastSeconds);
    if (wait == 0) {
        KillTimer(m_host.window, kTimer);
        return;
    }
    wait = std::min(wait, kLongestWaitSeconds);
    SetTimer(m_host.window, kTimer, static_cast<UINT>(wait * 1000), nullptr);
}

void SourceFollower::OnTimer() {
    KillTimer(m_host.window, kTimer);
    if (m_pending) {
        // A read that waited for the book: it lands now if it can.
        if (!Apply()) SetTimer(m_host.window, kTimer, kRetryMilliseconds, nullptr);
        return;
    }
    if (m_job) return;  // still reading
    m_settings = settings::ReadEffective();
    const CMString book = m_host.bookPath ? m_host.bookPath() : CMString();
    if (book.IsEmpty() || !m_settings.Follows() || !ForThisBook(book)) return;
    m_book = book;
    const settings::FollowRecord last = settings::ReadFollowRecord(m_book.str());
    if (settings::FollowDue(m_settings, settings::NowSeconds(), last.lastSeconds, false))
        Begin();
    else
        ScheduleNext();
}

void SourceFollower::Begin() {
    CPhonebook* model = m_host.model ? m_host.model() : nullptr;
    if (!model || m_job) return;
    auto job = std::make_shared<Job>();
    if (settings::SourceFrom(m_settings, job->source) != settings::SourceFault::None) {
        Failed(app::Text(IDS_FOLLOW_BAD_SETTINGS));
        return;
    }
    std::wstring password;
    // In the background nobody is asked: a login needs the password the dialog kept.
    if (!job->source.user.empty() && !settings::RememberedPassword(password, job->source.kind)) {
        Failed(CMString::Formatted(app::Text(IDS_FOLLOW_NEEDS_PASSWORD).c_str(), job->source.user.c_str()));
        return;
    }
    job->rules = {model->AllowedFaxChars(), model->AllowedMailboxChars()};
    if (job->source.kind == settings::SourceKind::AddressBook) {
        job->addressBook.url = job->source.addressBook;
        job->addressBook.user = job->source.user;
        job->addressBook.password = password;
    } else {
        job->directory.url = job->source.url;
        job->directory.startTls = job->source.startTls;
        job->directory.bindDn = job->source.user;
        job->directory.password = password;
    }
    SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
    m_job = job;
    const HWND window = m_host.window;
    std::thread([job, window] {
        const ULONGLONG began = GetTickCount64();
        if (job->source.kind == settings::SourceKind::AddressBook) {
            carddav::BookRead result = carddav::ReadAddressBook(job->addressBook, job->rules);
            // An address book not read whole would remove what did not arrive: no follow.
            if (result.fault != carddav::Fault::None)
                job->fault = carddav::FaultText(result.fault, result.code, job->addressBook, result.read.records.size(),
                                                result.cards);
            job->read = std::move(result.read);
        } else {
            directory::ReadResult result = directory::ReadDirectory(job->directory, job->source.mapping, job->rules);
            if (result.fault != directory::Fault::None) job->fault = directory::FaultText(result, job->directory);
            job->directoryEntries = result.entries;
            job->read = std::move(result.read);
        }
        SecureZeroMemory(job->directory.password.data(), job->directory.password.size() * sizeof(wchar_t));
        SecureZeroMemory(job->addressBook.password.data(), job->addressBook.password.size() * sizeof(wchar_t));
        job->readMs = static_cast<uint32_t>(GetTickCount64() - began);
        job->done = true;
        PostMessageW(window, kLandedMessage, 0, 0);
    }).detach();
}

void SourceFollower::OnLanded() {
    if (!m_job || !m_job->done) return;
    std::shared_ptr<Job> job = std::move(m_job);
    if (!job->fault.IsEmpty()) {
        Failed(job->fault);
        return;
    }
    m_pending = job;
    if (!Apply()) SetTimer(m_host.window, kTimer, kRetryMilliseconds, nullptr);
}

bool SourceFollower::Apply() {
    CPhonebook* model = m_host.model ? m_host.model() : nullptr;
    const CMString book = m_host.bookPath ? m_host.bookPath() : CMString();
    // Another book was opened meanwhile: what was read is not for it.
    if (!model || !model->HasOpenFile() || book.CompareNoCase(m_book.view()) != 0) {
        m_pending.reset();
        return true;
    }
    // A dialog of the window works on the book, or the book is read-only for now.
    if (!IsWindowEnabled(m_host.window) || model->Database().IsReadOnly()) return false;
    intake::Options options;
    options.mode = settings::ModeOf(m_settings);
    options.managedGroup = m_settings.Text(settings::Id::Group).c_str();
    options.adopt = !options.managedGroup.IsEmpty() && m_settings.Number(settings::Id::Adopt) != 0;
    options.home = HomeCountry();
    const ULONGLONG began = GetTickCount64();
    intake::Applier applier(*model);
    const intake::Outcome outcome = applier.Run(m_pending->read, options);
    if (outcome.busy) return false;
    std::shared_ptr<Job> job = std::move(m_pending);
    const intake::Plan& plan = outcome.plan;
    const unsigned capacity = static_cast<unsigned>(model->Database().Capacity());
    model->Refresh(true);
    if (plan.refusal != intake::Refusal::None) {
        if (plan.refusal == intake::Refusal::NoRoom && plan.groupsWithoutRoom.empty())
            Failed(CMString::Formatted(app::Text(IDS_DIR_TOO_MANY).c_str(), plan.counts.Accepted() + plan.counts.full, capacity));
        else
            Failed(intake::Applier::SummaryText(outcome, capacity));
        return true;
    }
    if (!outcome.bookRead || !outcome.stored) {
        Failed(app::Text(IDS_FOLLOW_NOT_WRITTEN));
        return true;
    }
    settings::FollowRecord record;
    record.lastSeconds = settings::NowSeconds();
    record.ok = true;
    record.added = outcome.counts.imported;
    record.updated = outcome.counts.updated;
    record.removed = outcome.counts.removed;
    record.readMs = job->readMs;
    record.planMs = static_cast<uint32_t>(outcome.planMs);
    record.applyMs = static_cast<uint32_t>(outcome.applyMs);
    record.landMs = static_cast<uint32_t>(GetTickCount64() - began);
    settings::WriteFollowRecord(m_book.str(), record);
    m_lastFailure.Empty();
    m_lastNotice = CMString::Formatted(app::Text(IDS_FOLLOW_DONE).c_str(), LocalTime().c_str(),
                                       m_settings.Text(settings::Id::Server).c_str(), record.added, record.updated,
                                       record.removed);
    if (m_host.notify) m_host.notify(app::Text(IDS_FOLLOW_TITLE), m_lastNotice);
    ScheduleNext();
    return true;
}

void SourceFollower::Failed(const CMString& why) {
    settings::FollowRecord record;
    record.lastSeconds = settings::NowSeconds();
    record.fault = why.str();
    settings::WriteFollowRecord(m_book.str(), record);
    const CMString text = CMString::Formatted(app::Text(IDS_FOLLOW_FAILED).c_str(), why.c_str());
    // Told once: the same failure at the next interval is no news.
    if (why.Compare(m_lastFailure.view()) != 0) {
        m_lastFailure = why;
        m_lastNotice = text;
        if (m_host.notify) m_host.notify(app::Text(IDS_FOLLOW_FAILED_TITLE), text);
    }
    ScheduleNext();
}
