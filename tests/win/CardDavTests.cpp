// pbtool's address book source against a real Radicale server (tests/carddav-server,
// which ctest's carddav fixture starts for the carddav_tests entry), run as a script runs
// it: a separate process, its books read back through the storage wrapper. The cards
// named here are the fixed ones at the top of tests/carddav-cards.py. Without a server
// (the main win_tests entry) every test here is skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "CardDavServer.h"
#include "PbtoolRun.h"
#include "PrintCMString.h"
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

// A managed group follows the address book through an added, a changed and a deleted
// card; the entry made by hand stays.
TEST_F(CardDav, SyncFollowsTheAddressBook) {
    const CMString book = Book(L"follow.mpb2");
    const CMString sync = L"sync " + Q(book) + L" " + Q(server.Url(L"/alice/contacts/")) + L" --group Server " + login;
    ToolRun run = Pbtool(folder, sync);
    ASSERT_EQ(run.code, 0) << run.err;
    std::vector<std::wstring> lines = Contents(book, true);
    EXPECT_EQ(Entries(lines), 2479u + 1);
    EXPECT_TRUE(Has(lines, L"E|Hand Made|555||||0"));
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
    run = Pbtool(folder, sync);
    // The server as it was, for the other tests.
    server.Change("delete", "/alice/contacts/c9001.vcf");
    server.Change("put", "/alice/contacts/c0007.vcf", Card("c0007", "Łukasz Wójcik", "+48 22 100 00 08"));
    ASSERT_EQ(run.code, 0) << run.err;
    lines = Contents(book, true);
    EXPECT_EQ(Entries(lines), 2479u + 1);
    EXPECT_TRUE(Has(lines, L"E|Hand Made|555||||0"));
    EXPECT_TRUE(Has(lines, L"E|Søren Østergård|+45 33 10 00 99||||0"));
    EXPECT_TRUE(Has(lines, L"E|Neue Person|+49 40 9001||||0"));
    EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const std::wstring& l) { return l.find(L"Łukasz") != l.npos; }));
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
        {"no card", server.Url(L"/alice/empty/"), login, "gives no entry"},
        {"a card that cannot be read", server.Url(L"/alice/empty/"), login, "could not be read (code 500)", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.plant) ASSERT_TRUE(server.Change("plant", "/alice/empty/broken.vcf", "BEGIN:VCARD\r\nFN:Cut\r\n"));
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
    EXPECT_LT(Entries(Contents(book)), 2479u + 1);
}

}  // namespace
