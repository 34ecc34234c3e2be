#include "FollowCommand.h"

#include <windows.h>

#include <memory>

#include "BookJobs.h"
#include "Console.h"
#include "numbers/HomeCountry.h"
#include "settings/SettingsStore.h"

using namespace pbtool;

int SettingsCommand(int argc, wchar_t**) {
    if (argc != 2) return Fail(kExitUsage, L"settings takes no operands");
    const settings::Effective effective = settings::ReadEffective();
    for (const std::wstring& line : settings::DescribeLines(effective)) Say(line);
    settings::Source source;
    const settings::SourceFault fault = settings::SourceFrom(effective, source);
    if (fault != settings::SourceFault::None && fault != settings::SourceFault::NoServer)
        return Fail(kExitFailed, std::wstring(L"the source cannot be followed: ") + settings::SourceFaultText(fault));
    return kExitOk;
}

int FollowCommand(int argc, wchar_t** argv, unsigned waitSeconds) {
    const settings::Effective effective = settings::ReadEffective();
    std::wstring book = effective.Text(settings::Id::FollowBook);
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--wait") {
            ++i;  // read by the caller
            continue;
        }
        if (arg.compare(0, 2, L"--") == 0) return Fail(kExitUsage, L"unknown option " + arg + L" for follow");
        if (i != argc - 1) return Fail(kExitUsage, L"follow takes one book");
        book = arg;
    }
    if (book.empty()) return Fail(kExitUsage, L"follow needs a book (or the FollowBook setting)");
    if (GetFileAttributesW(book.c_str()) == INVALID_FILE_ATTRIBUTES) return Fail(kExitFailed, L"there is no phone book at " + book);
    settings::Source source;
    if (const settings::SourceFault fault = settings::SourceFrom(effective, source); fault != settings::SourceFault::None)
        return Fail(kExitFailed, std::wstring(L"the source cannot be followed: ") + settings::SourceFaultText(fault) +
                                     L" (pbtool settings shows them)");
    TextJob job;
    job.book = book;
    job.file = effective.Text(settings::Id::Server);
    job.group = effective.Text(settings::Id::Group);
    job.adopt = !job.group.empty() && effective.Number(settings::Id::Adopt) != 0;
    job.home = HomeCountry();
    job.bindDn = source.user;
    if (source.kind == settings::SourceKind::AddressBook) {
        job.fromAddressBook = true;
        job.addressBook = source.addressBook;
    } else {
        job.fromDirectory = true;
        job.url = source.url;
        job.startTls = source.startTls;
        job.mapping = source.mapping;
    }
    // A scheduled task asks nobody: the password is the one the user let the dialog keep.
    if (!job.bindDn.empty() && !settings::RememberedPassword(job.password, source.kind))
        return Fail(kExitFailed, L"no password is kept for " + job.bindDn +
                                     L": open the Directory dialog once, log in, and let it remember the password");
    const intake::Mode mode = settings::ModeOf(effective);
    delimited::ImportCounters landed;
    job.landed = &landed;
    const std::shared_ptr<SourceCache> cache = NewSourceCache();
    job.source = cache.get();
    if (mode == intake::Mode::Update) job.update = true;
    const int rc = WaitWhileBusy(book, waitSeconds, [&]() -> int {
        return mode == intake::Mode::Sync ? SyncText(job) : ImportText(job);
    });
    // The book's record of its last follow, as the program keeps it.
    settings::FollowRecord record;
    record.lastSeconds = settings::NowSeconds();
    record.ok = rc == kExitOk;
    record.added = landed.imported;
    record.updated = landed.updated;
    record.removed = landed.removed;
    if (!record.ok) record.fault = L"pbtool follow ended with " + std::to_wstring(rc);
    settings::WriteFollowRecord(book, record);
    return rc;
}
