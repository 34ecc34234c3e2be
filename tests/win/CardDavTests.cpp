// pbtool's address book source against a real Radicale server (tests/carddav-server,
// which ctest's carddav fixture starts for the carddav_tests entry), run as a script runs
// it: a separate process, its books read back through the storage wrapper. The cards
// named here are the fixed ones at the top of tests/carddav-cards.py. Without a server
// (the main win_tests entry) every test here is skipped.
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "CardDavServer.h"
#include "PbtoolRun.h"
#include "PrintCMString.h"
#include "carddav/AddressBook.h"
#include "harness/TestEnvironment.h"

namespace {

using namespace pbtooltest;

bool Has(const std::vector<std::wstring>& lines, const std::wstring& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

size_t Entries(const std::vector<std::wstring>& lines) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [](const std::wstring& l) { return l[0] == L'E'; }));
}

using carddavtest::CardDav;
using carddavtest::Card;

// From the server's address alone: /.well-known/carddav, the principal, the home.
TEST_F(CardDav, TheServersAddressListsTheAccountsBooks) {
    ToolRun run = Pbtool(folder, L"directory " + Q(server.Url(L"/")) + L" " + login);
    ASSERT_EQ(run.code, 0) << run.err;
    const std::string base = "http://127.0.0.1:" + std::to_string(server.radicale);
    EXPECT_NE(run.out.find(base + "/alice/contacts/\tContacts\t2480 cards"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(base + "/alice/empty/\tEmpty\t0 cards"), std::string::npos) << run.out;

    // An import of a server's address lists the books and changes nothing.
    const CMString book = folder.File(L"untouched.mpb2");
    ASSERT_EQ(Pbtool(folder, L"create " + Q(book)).code, 0);
    run = Pbtool(folder, L"import " + Q(book) + L" " + Q(server.Url(L"/")) + L" " + login);
    EXPECT_EQ(run.code, 4) << run.err;
    EXPECT_NE(run.out.find("/alice/contacts/"), std::string::npos);
    EXPECT_EQ(Entries(Contents(book)), 0u);
}

// A managed group follows the address book, over HTTPS, through an added, a changed and
// a deleted card; the entry made by hand stays.
TEST_F(CardDav, SyncFollowsTheAddressBook) {
    const CMString book = Book(L"follow.mpb2");
    const CMString sync =
        L"sync " + Q(book) + L" " + Q(server.SecureUrl(L"/alice/contacts/")) + L" --group Server " + login;
    ToolRun run = Pbtool(folder, sync);
    ASSERT_EQ(run.code, 0) << run.err;
    std::vector<std::wstring> lines = Contents(book, true);
    EXPECT_EQ(Entries(lines), 2480u + 1);
    EXPECT_TRUE(Has(lines, L"E|Hand Made|555||||0"));
    // Each fax number of a card is an entry.
    EXPECT_TRUE(Has(lines, L"E|José Núñez|+34 91 100 00 05||||0"));
    EXPECT_TRUE(Has(lines, L"E|José Núñez|+34 91 100 00 06||||0"));
    EXPECT_TRUE(Has(lines, L"E|Anna Müller|+49 30 1000001|Beispiel AG|+49 30 1000-100|anna.mueller@example.org|0"));
    EXPECT_TRUE(Has(lines, L"E|Ольга Смирнова|+7 495 1000003|||||0") ||
                std::any_of(lines.begin(), lines.end(),
                            [](const std::wstring& l) { return l.rfind(L"E|Ольга Смирнова|+7 495 1000003|", 0) == 0; }));
    EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const std::wstring& l) { return l.find(L"Zoë") != l.npos; }));
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const std::wstring& l) { return l.rfind(L"G|Sales, Berlin|Anna Müller/", 0) == 0; }));

    ASSERT_TRUE(server.Change("put", "/alice/contacts/c0006.vcf", Card("c0006", "Søren Østergård", "+45 33 10 00 99")));
    ASSERT_TRUE(server.Change("delete", "/alice/contacts/c0007.vcf"));
    ASSERT_TRUE(server.Change("put", "/alice/contacts/c9001.vcf", Card("c9001", "Neue Person", "+49 40 9001")));
    // The plan names each card by its UID, for scripts that follow a person.
    const ToolRun plan = Pbtool(folder, sync + L" --dry-run --json");
    EXPECT_EQ(plan.code, 0) << plan.err;
    EXPECT_NE(plan.out.find("\"name\":\"Neue Person\",\"fax\":\"+49 40 9001\",\"organization\":\"\",\"phone\":\"\","
                            "\"email\":\"\",\"mailbox\":\"\",\"uid\":\"c9001\""),
              std::string::npos)
        << plan.out.substr(0, 2000);
    EXPECT_NE(plan.out.find("\"uid\":\"c0006\",\"changes\":{\"fax\""), std::string::npos) << plan.out.substr(0, 2000);
    run = Pbtool(folder, sync);
    // The server as it was, for the other tests.
    server.Change("delete", "/alice/contacts/c9001.vcf");
    server.Change("put", "/alice/contacts/c0007.vcf", Card("c0007", "Łukasz Wójcik", "+48 22 100 00 08"));
    ASSERT_EQ(run.code, 0) << run.err;
    lines = Contents(book, true);
    EXPECT_EQ(Entries(lines), 2480u + 1);
    EXPECT_TRUE(Has(lines, L"E|Hand Made|555||||0"));
    EXPECT_TRUE(Has(lines, L"E|Søren Østergård|+45 33 10 00 99||||0"));
    EXPECT_TRUE(Has(lines, L"E|Neue Person|+49 40 9001||||0"));
    EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const std::wstring& l) { return l.find(L"Łukasz") != l.npos; }));

    // The sync left the book's cache beside the user's settings, as the server is now:
    // the next one asks only for what changes.
    carddav::Url url;
    ASSERT_TRUE(carddav::ParseUrl(server.SecureUrl(L"/alice/contacts/").str(), url));
    carddav::BookCache cache;
    ASSERT_TRUE(carddav::LoadCache(ReadAll(carddav::CacheFileFor(book.str(), url, L"alice").c_str()), cache));
    EXPECT_EQ(cache.cards.size(), 2480u);
    EXPECT_FALSE(cache.syncToken.empty());
    EXPECT_EQ(cache.cards.count(carddav::PathKey("/alice/contacts/c9001.vcf")), 1u);
    EXPECT_EQ(cache.cards.count(carddav::PathKey("/alice/contacts/c0007.vcf")), 0u);
}

// Each fault fails with its own message, and a sync on it changes nothing.
TEST_F(CardDav, FaultsFailAndLeaveTheBookAlone) {
    const CMString wrong = folder.File(L"wrong.pw");
    WriteText(wrong, "not-secret\n");
    const CMString book = Book(L"alone.mpb2");
    const std::vector<std::wstring> before = Contents(book);
    struct Case {
        const char* what;
        CMString url, options;
        const char* said;
        bool plant = false;  // a card the server cannot read goes into the empty book first
    } cases[] = {
        {"wrong password", server.Url(L"/alice/contacts/"), L"--user alice --password-file " + Q(wrong),
         "refused the login"},
        {"no such address book", server.Url(L"/alice/nothing/"), login, "no such address book"},
        {"nobody listens", L"http://127.0.0.1:1/alice/contacts/", login, "No server answers"},
        {"a server that stops answering", server.Url(L"/alice/contacts/", server.silent), login + L" --timeout 3",  // the last one counts
         "did not answer within 3 seconds"},
        {"an answer cut short", server.Url(L"/alice/contacts/", server.cut), login, "cards arrived"},
        {"a certificate from an unknown authority", server.SecureUrl(L"/alice/contacts/", server.stranger), login,
         "did not pass the check"},
        {"no card", server.Url(L"/alice/empty/"), login, "gives no entry"},
        {"a card that cannot be read", server.Url(L"/alice/empty/"), login, "could not be read (code 500)", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.plant) {
            ASSERT_TRUE(server.Change("plant", "/alice/empty/broken.vcf", "BEGIN:VCARD\r\nFN:Cut\r\n"));
        }
        const ToolRun run = Pbtool(folder, L"sync " + Q(book) + L" " + Q(c.url) + L" --allow-shrink " + c.options);
        EXPECT_EQ(run.code, 1) << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        EXPECT_EQ(Contents(book), before);
    }
    server.Change("delete", "/alice/empty/broken.vcf");

    // An import keeps the cards that arrived before the answer was cut, and says so.
    const ToolRun run = Pbtool(folder, L"import " + Q(book) + L" " + Q(server.Url(L"/alice/contacts/", server.cut)) +
                                           L" " + login);
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_NE(run.err.find("not every card of the address book arrived"), std::string::npos) << run.err;
    EXPECT_LT(Entries(Contents(book)), 2480u + 1);
}

// Options only a directory or only a file reads are refused with an address book, not
// ignored; nothing is asked of the server (none listens at port 1).
TEST(CardDavOptions, ThoseOfOtherSourcesAreRefused) {
    testenv::TempFolder folder;
    const CMString book = folder.File(L"book.mpb2"), url = L"http://127.0.0.1:1/alice/contacts/";
    ASSERT_EQ(Pbtool(folder, L"create " + Q(book)).code, 0);
    struct Case {
        CMString arguments;
        const char* said;
    } cases[] = {
        {L"sync " + Q(book) + L" " + url + L" --starttls", "--starttls goes with a directory"},
        {L"import " + Q(book) + L" " + url + L" --page-size 10", "--page-size goes with a directory"},
        {L"show " + url + L" --map name=cn,fax=fax", "--map goes with a directory"},
        {L"directory " + url + L" --groups-from ou", "--groups-from goes with a directory"},
        {L"sync " + Q(book) + L" " + url + L" --bind-dn cn=alice", "login is --user NAME"},
        {L"sync " + Q(book) + L" " + url + L" --columns name,fax", "--columns goes with a file"},
        {L"import " + Q(book) + L" " + url + L" --ansi", "--ansi goes with a file"},
        {L"sync " + Q(book) + L" ldap://127.0.0.1:1/dc=example --user alice", "--user goes with an address book"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.ToUtf8());
        const ToolRun run = Pbtool(folder, c.arguments);
        EXPECT_EQ(run.code, 2);
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    }
}

}  // namespace
