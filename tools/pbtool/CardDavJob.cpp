#include "CardDavJob.h"

#include <windows.h>

#include "Console.h"
#include "app/AppGlobals.h"
#include "carddav/AddressBook.h"
#include "resources/text_ids.h"

namespace pbtool {

namespace {

carddav::Connection ConnectionOf(const TextJob& job) {
    carddav::Connection c;
    c.url = job.addressBook;
    c.user = job.bindDn;
    c.timeoutSeconds = job.timeoutSeconds;
    // A book that follows the address book keeps what the server gave, so that the next
    // sync asks only for what changed.
    if (!job.book.empty()) c.cacheFile = carddav::CacheFileFor(job.book, c.url, c.user);
    return c;
}

bool Login(const TextJob& job, carddav::Connection& c) {
    if (ReadPassword(job, c.password)) return true;
    Fail(kExitFailed,
         L"cannot read the password" + (job.passwordFile.empty() ? std::wstring() : L" from " + job.passwordFile));
    return false;
}

// One line per address book: its URL, display name and cards.
void SayBooks(const std::vector<carddav::BookInfo>& books) {
    for (const carddav::BookInfo& b : books)
        Say(carddav::WideText(b.url) + L"\t" + CMString::FromUtf8(b.displayName).str() + L"\t" +
            std::to_wstring(b.cards) + L" cards");
}

std::wstring Ms(double ms) { return std::to_wstring(static_cast<long long>(ms + 0.5)) + L" ms"; }

// Reads the book; on a fault that leaves nothing to use, tells it and gives the exit code.
int Read(const TextJob& job, carddav::BookRead& result) {
    carddav::Connection c = ConnectionOf(job);
    if (!Login(job, c)) return kExitFailed;
    const delimited::CharacterRules rules = {app::Text(IDS_FAX_CHARS), app::Text(IDS_MAILBOX_CHARS)};
    Progress progress(L"reading the address book", 1000);
    result = carddav::ReadAddressBook(c, rules, [&](size_t done, size_t total) { progress(done, total); });
    // Without a system error code, the HTTP status names what failed.
    const uint32_t code = result.code ? result.code : static_cast<uint32_t>(result.status);
    const std::wstring text = carddav::FaultText(result.fault, code, c, result.cards - result.failedCards,
                                                 result.cards)
                                  .str();
    switch (result.fault) {
        case carddav::Fault::None: return kExitOk;
        case carddav::Fault::CutOff:
            // What arrived is kept: an import takes it, a sync refuses it.
            if (!result.read.records.empty() || result.cards > 0) {
                Out(stderr, L"pbtool: " + text + L"\n");
                result.read.complete = false;
                return kExitOk;
            }
            return Fail(kExitFailed, text);
        case carddav::Fault::NotAddressBook:
            Out(stderr, L"pbtool: " + text + L"\n");
            SayBooks(result.books);
            return kExitNotAddressBook;
        default: return Fail(kExitFailed, text);
    }
}

}  // namespace

int ReadFromAddressBook(const TextJob& job, intake::SourceRead& read) {
    carddav::BookRead result;
    if (int rc = Read(job, result); rc != kExitOk) return rc;
    read = std::move(result.read);
    return kExitOk;
}

int ListAddressBook(const TextJob& job) {
    if (!LoadLanguage()) return kExitFailed;
    carddav::BookRead result;
    const int rc = Read(job, result);
    // A server's or account's address: the listing is what was asked for.
    if (rc == kExitNotAddressBook) return kExitOk;
    if (rc != kExitOk) return rc;
    size_t withFax = 0, rejected = 0;
    SayRecords(result.read, withFax, rejected);
    Say(std::to_wstring(result.cards) + L" cards: " + std::to_wstring(withFax) + L" fax numbers, " +
        std::to_wstring(rejected) + L" rejected (" + Ms(result.listMs) + L" to list, " + Ms(result.fetchMs) +
        L" to fetch, " + Ms(result.parseMs) + L" to read)");
    return result.read.complete ? kExitOk : kExitFailed;
}

}  // namespace pbtool
