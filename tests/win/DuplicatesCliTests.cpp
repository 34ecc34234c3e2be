// pbtool duplicates, and the country import and sync read national numbers in: run as a
// script runs them, on books filled from vCard cards (their categories are groups).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "PbtoolRun.h"
#include "harness/TestEnvironment.h"

namespace {

using namespace pbtooltest;

std::string Card(const char* name, const char* fax, const char* categories = "") {
    std::string card = std::string("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:") + name + "\r\nTEL;TYPE=FAX:" + fax + "\r\n";
    if (*categories) card += std::string("CATEGORIES:") + categories + "\r\n";
    return card + "END:VCARD\r\n";
}

TEST(PbtoolDuplicates, SetsOfOneFaxNumberHoweverWritten) {
    // Nothing below changes a book (an import runs dry): they are made once.
    const std::pair<const wchar_t*, std::string> books[] = {
        {L"berlin", Card("Anna Smith", "030/1234567", "Board,Sales") + Card("Bo Berg", "+49 (0)30 123 4567") +
                        Card("Cy Cole", "0049 30 1234567", "Board") + Card("Di Dorn", "+49 40 7654321")},
        {L"vienna", Card("Anna Smith", "030/1234567") + Card("Bo Berg", "+43 30 1234567")},
    };
    struct Case {
        const char* what;
        const wchar_t* book;
        const wchar_t* arguments;  // after the book; with a card, those of an import of it
        int code;
        std::string out;  // all of standard output; with a card, a line of it
        std::string card = {};
    } cases[] = {
        {"one number each", L"vienna", L"--country DE", 0, "no two entries share a fax number\n"},
        {"a number written three ways, with each entry's groups", L"berlin", L"--country de", 1,
         "+49301234567: 3 entries\n"
         "  Anna Smith | 030/1234567 | groups: Board, Sales\n"
         "  Bo Berg | +49 (0)30 123 4567 | no groups\n"
         "  Cy Cole | 0049 30 1234567 | groups: Board\n"
         "3 entries share one fax number\n"},
        {"the country decides what a national number is", L"berlin", L"--country AT", 1,
         "+49301234567: 2 entries\n"
         "  Bo Berg | +49 (0)30 123 4567 | no groups\n"
         "  Cy Cole | 0049 30 1234567 | groups: Board\n"
         "2 entries share one fax number\n"},
        {"so it turns a book with none into one with a set", L"vienna", L"--country AT", 1,
         "+43301234567: 2 entries\n"
         "  Anna Smith | 030/1234567 | no groups\n"
         "  Bo Berg | +43 30 1234567 | no groups\n"
         "2 entries share one fax number\n"},
        {"an unknown country", L"vienna", L"--country XY", 2, ""},
        {"not a two-letter code", L"vienna", L"--country DEU", 2, ""},
        {"an import counts a number written another way as present", L"berlin", L"--country DE --dry-run", 0,
         "1 read, 0 imported, 0 rejected, 1 already present", Card("Bo Berg", "030 1234567")},
        {"an import in another country adds it", L"berlin", L"--country AT --dry-run", 0,
         "1 read, 1 imported, 0 rejected, 0 already present", Card("Bo Berg", "030 1234567")},
    };
    testenv::TempFolder folder;
    for (const auto& [name, cards] : books) {
        const CMString book = folder.File((std::wstring(name) + L".mpb2").c_str()), file = book + L".vcf";
        WriteText(file, cards);
        ASSERT_EQ(Pbtool(folder, L"create " + Q(book)).code, 0);
        ASSERT_EQ(Pbtool(folder, L"import " + Q(book) + L" " + Q(file)).code, 0);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CMString book = Q(folder.File((std::wstring(c.book) + L".mpb2").c_str()));
        CMString command = L"duplicates " + book + L" " + c.arguments;
        if (!c.card.empty()) {
            const CMString card = folder.File(L"card.vcf");
            WriteText(card, c.card);
            command = L"import " + book + L" " + Q(card) + L" " + c.arguments;
        }
        ToolRun run = Pbtool(folder, command);
        run.out.erase(std::remove(run.out.begin(), run.out.end(), '\r'), run.out.end());
        EXPECT_EQ(run.code, c.code) << run.err;
        if (c.card.empty()) EXPECT_EQ(run.out, c.out);
        else EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
    }
}

}  // namespace
