// vCard files as phones, mail programs and contact services write them, and the form
// the export writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PrintCMString.h"
#include "importexport/core/VCard.h"

using namespace vcard;

namespace {

std::vector<Card> ReadAll(const std::string& file, bool* reachedEnd = nullptr) {
    bool unicode = false;
    const std::string bytes = Utf8Bytes(file, unicode);
    Reader reader(bytes, unicode);
    std::vector<Card> cards;
    Card card;
    while (reader.Next(card)) cards.push_back(card);
    // Asked again, the reader still knows how the input ended.
    if (reachedEnd) *reachedEnd = !reader.Next(card) && reader.ReachedEnd();
    return cards;
}

std::string Utf16LE(const std::u16string& text) {
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

}  // namespace

TEST(VCard, CardFormsGiveTheirEntries) {
    struct Case {
        const char* what;
        std::string file;
        const wchar_t *name, *fax, *organization, *phone, *email;
        std::vector<CMString> groups;
        // Besides the name and fax number, what the card has a property for.
        entry::FieldSet given;
        // Every fax number, the best first; none listed: the fax number alone.
        std::vector<CMString> faxes = {};
    };
    using entry::Column;
    constexpr entry::FieldSet kOrg = entry::FieldBit(Column::Organization), kPhone = entry::FieldBit(Column::Phone),
                              kEmail = entry::FieldBit(Column::Email);
    const Case cases[] = {
        {"2.1 bare types, quoted-printable with a soft break, Latin-1",
         "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1:M\xFCller;J\xFCrgen\r\n"
         "TEL;HOME;FAX:+49 30 999\r\nTEL;WORK;FAX:+49 30 111\r\nTEL;CELL:0170 1\r\n"
         "ORG;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:B=C3=A4ckerei =\r\nSch=C3=B6n;Verkauf\r\nEND:VCARD\r\n",
         L"J\u00fcrgen M\u00fcller", L"+49 30 111", L"B\u00e4ckerei Sch\u00f6n", L"0170 1", L"", {}, kOrg | kPhone,
         {L"+49 30 111", L"+49 30 999"}},
        {"3.0 folded, escaped, grouped, TYPE lists, categories",
         "BEGIN:VCARD\nVERSION:3.0\nFN:Anna Berg\\, Dr.\nitem1.TEL;TYPE=WORK,FAX:+33 1 \n 23 45\n"
         "TEL;TYPE=work;TYPE=voice:+33 2\nEMAIL;TYPE=INTERNET:a@x.org\nEMAIL;TYPE=INTERNET,PREF:anna@x.org\n"
         "CATEGORIES:Kunden,Team\\, Nord\nPHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRg\n AAAA\nEND:VCARD\n",
         L"Anna Berg, Dr.", L"+33 1 23 45", L"", L"+33 2", L"anna@x.org", {L"Kunden", L"Team, Nord"}, kPhone | kEmail},
        {"4.0 quoted TYPE and a tel: URI",
         "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Zo\xC3\xAB\r\nTEL;TYPE=\"fax,work\";VALUE=uri:tel:+33-1-55.66.77;ext=2\r\n"
         "TEL;VALUE=uri;TYPE=cell:tel:+33-6-1\r\nEND:VCARD\r\n",
         L"Zo\u00eb", L"+33 1 55 66 77", L"", L"+33 6 1", L"", {}, kPhone},
        {"name from N, else from ORG; a card without a fax number",
         "BEGIN:VCARD\nVERSION:3.0\nN:Nowak;Ewa;;;\nTEL;TYPE=FAX:22 33\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:3.0\nORG:Acme Ltd;Sales\nTEL;TYPE=FAX,HOME:44\nEND:VCARD\n"
         "BEGIN:VCARD\nVERSION:3.0\nFN:No Fax\nTEL:1\nEND:VCARD\n",
         L"Ewa Nowak", L"22 33", L"", L"", L"", {}, 0},
        {"UTF-16 with a byte-order mark, lower-case names, a card inside a card",
         Utf16LE(u"begin:vcard\r\nversion:3.0\r\nfn:\u05d3\u05d5\u05d3\r\nAGENT:BEGIN:VCARD\r\nBEGIN:VCARD\r\n"
                 u"FN:Agent\r\nEND:VCARD\r\ntel;type=fax:5\r\nend:vcard\r\n"),
         L"\u05d3\u05d5\u05d3", L"5", L"", L"", L"", {}, 0},
        {"an empty ORG and EMAIL are given, empty",
         "BEGIN:VCARD\nVERSION:3.0\nFN:Eve\nORG:\nEMAIL:\nTEL;TYPE=FAX:7\nEND:VCARD\n", L"Eve", L"7", L"", L"", L"", {},
         kOrg | kEmail},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(IsVCard(c.file));
        const auto cards = ReadAll(c.file);
        ASSERT_FALSE(cards.empty());
        const auto& f = cards[0].fields;
        EXPECT_EQ(f.name, CMString(c.name));
        EXPECT_EQ(f.fax, CMString(c.fax));
        EXPECT_EQ(f.organization, CMString(c.organization));
        EXPECT_EQ(f.phone, CMString(c.phone));
        EXPECT_EQ(f.email, CMString(c.email));
        EXPECT_EQ(cards[0].groups, c.groups);
        EXPECT_EQ(cards[0].given, c.given | entry::FieldBit(Column::Name) | entry::FieldBit(Column::Fax));
        EXPECT_EQ(cards[0].faxes, !c.faxes.empty() ? c.faxes : std::vector<CMString>{CMString(c.fax)});
    }
    const auto three = ReadAll(cases[3].file);
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[1].fields.name, CMString(L"Acme Ltd"));
    EXPECT_EQ(three[1].fields.organization, CMString(L"Acme Ltd"));
    EXPECT_TRUE(three[2].fields.fax.IsEmpty());
    EXPECT_TRUE(three[2].faxes.empty());
    EXPECT_EQ(CountCards(cases[3].file), 3u);
    EXPECT_FALSE(IsVCard("Name,Fax\r\nBEGIN:VCARD\r\n"));
}

TEST(VCard, ExportReadsBackAndFoldsWithinCharacters) {
    ExportedEntry e;
    e.name = L"Jürgen Weiß, Ing.";
    e.fax = L"+49 89 2222";
    e.organization = L"Weiß; Söhne \\ Co";
    e.email = L"j@example.org";
    e.groups = {L"Vertrieb", L"Nord, Süd"};
    e.phone = std::wstring(40, L'\u00e4');  // 80 octets: folded, never inside a letter
    const std::string card = FormatCard(e);
    size_t from = 0;
    while (from < card.size()) {
        const size_t end = card.find("\r\n", from);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end - from, 75u);
        if (end + 3 < card.size() && card[end + 2] == ' ') {
            EXPECT_NE(static_cast<unsigned char>(card[end + 3]) & 0xC0, 0x80u) << card.substr(from, end - from);
        }
        from = end + 2;
    }
    const auto cards = ReadAll(card);
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].fields.name, e.name);
    EXPECT_EQ(cards[0].fields.fax, e.fax);
    EXPECT_EQ(cards[0].fields.organization, e.organization);
    EXPECT_EQ(cards[0].fields.phone, e.phone);
    EXPECT_EQ(cards[0].fields.email, e.email);
    EXPECT_EQ(cards[0].groups, e.groups);
    EXPECT_TRUE(HasVCardExtension(L"C:\\x\\Out.VCF"));
    EXPECT_FALSE(HasVCardExtension(L"out.vcf.csv"));
    EXPECT_EQ(SplitGroupNames(L"* myContacts ::: Kunden ::: Team"), (std::vector<CMString>{L"Kunden", L"Team"}));
    EXPECT_EQ(SplitGroupNames(L"A, B,,a"), (std::vector<CMString>{L"A", L"B"}));
    EXPECT_EQ(SplitGroupNames(L"\u00c4rger, \u00e4rger, \u03a3, \u03c3"), (std::vector<CMString>{L"\u00c4rger", L"\u03a3"}));
}

TEST(VCard, CardWithoutItsEndNeitherSwallowsTheNextNorPassesUnnoticed) {
    struct Case {
        const char* what;
        std::string file;
        std::vector<CMString> names;
        bool reachedEnd;
    } cases[] = {
        {"the first card lacks END", "BEGIN:VCARD\nFN:A\nBEGIN:VCARD\nFN:B\nEND:VCARD\nBEGIN:VCARD\nFN:C\nEND:VCARD\n",
         {L"A", L"B", L"C"}, true},
        {"cut short inside the last card", "BEGIN:VCARD\nFN:A\nEND:VCARD\nBEGIN:VCARD\nFN:B\nTEL;TYPE=FAX:12", {L"A"},
         false},
        {"cut short right after BEGIN", "BEGIN:VCARD\r\nFN:A\r\nEND:VCARD\r\nBEGIN:VCARD\r\n", {L"A"}, false},
        {"an AGENT's card is no card of its own",
         "BEGIN:VCARD\nFN:A\nAGENT:\nBEGIN:VCARD\nFN:Agent\nEND:VCARD\nEND:VCARD\nBEGIN:VCARD\nFN:B\nEND:VCARD\n",
         {L"A", L"B"}, true},
        {"an AGENT's card without END ends at the next card",
         "BEGIN:VCARD\nFN:A\nAGENT:\nBEGIN:VCARD\nFN:Agent\nEND:VCARD\nBEGIN:VCARD\nFN:B\nEND:VCARD\n",
         {L"A", L"B"}, true},
        {"no card at all", "just text\n", {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool reachedEnd = !c.reachedEnd;
        std::vector<CMString> names;
        for (const Card& card : ReadAll(c.file, &reachedEnd)) names.push_back(card.fields.name);
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(reachedEnd, c.reachedEnd);
    }
}

TEST(VCard, ManyCategoriesEachOnceInTheirOrder) {
    // 16,000 names over several CATEGORIES lines, every seventh followed by an earlier
    // one in capitals: each name once, as first spelt.
    std::string file = "BEGIN:VCARD\r\nFN:A\r\n";
    std::vector<CMString> expected;
    for (int n = 0; n < 16000; ++n) {
        if (n % 500 == 0) file += (n ? "\r\n" : "") + std::string("CATEGORIES:");
        file += "Gr\xC3\xBCn " + std::to_string(n) + ",";
        if (n % 7 == 0) file += "GR\xC3\x9CN " + std::to_string(n / 2) + ",";
        expected.push_back(CMString(L"Gr\u00fcn " + std::to_wstring(n)));
    }
    file += "\r\nEND:VCARD\r\n";
    const auto cards = ReadAll(file);
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].groups, expected);
}
