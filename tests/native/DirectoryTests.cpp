// An office directory as a source: its URL, the filters a user types, DNs, and entries
// made into records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PrintCMString.h"
#include "directory/core/Entries.h"
#include "directory/core/Filter.h"
#include "directory/core/Request.h"
#include "directory/core/Url.h"

using namespace directory;
using entry::Column;
using intake::Bit;
using intake::Rejection;

namespace {

const std::wstring kAnyFax(kDefaultFilter);

std::wstring Joined(const std::vector<std::wstring>& items, wchar_t separator) {
    std::wstring out;
    for (const auto& item : items) out += (out.empty() ? L"" : std::wstring(1, separator)) + item;
    return out;
}

// Ways as an override writes them: "givenName+sn|cn".
std::wstring Ways(const std::vector<Way>& ways) {
    std::vector<std::wstring> alternatives;
    for (const Way& way : ways) alternatives.push_back(Joined(way, L'+'));
    return Joined(alternatives, L'|');
}

}  // namespace

TEST(Directory, UrlsThatRead) {
    struct Case {
        const wchar_t* text;
        bool secure;
        std::wstring host;
        uint16_t port;
        std::wstring baseDn, attributes;
        Scope scope;
        std::wstring filter, formatted;
    };
    const Case cases[] = {
        {L"ldap://dir.example.org/dc=example,dc=org", false, L"dir.example.org", 389, L"dc=example,dc=org", L"",
         Scope::Sub, kAnyFax, L"ldap://dir.example.org/dc=example,dc=org??sub?(facsimileTelephoneNumber=*)"},
        {L"  LDAPS://DC1.corp.example.com:/OU=Staff,DC=corp  ", true, L"DC1.corp.example.com", 636, L"OU=Staff,DC=corp",
         L"", Scope::Sub, kAnyFax, L"ldaps://DC1.corp.example.com/OU=Staff,DC=corp??sub?(facsimileTelephoneNumber=*)"},
        {L"ldaps://h:1636/ou=M%C3%BCller%5C%2C%20Vertrieb?cn,Mail?ONE?(%7C(cn=a%3Fb)(sn=%5C2a))", true, L"h", 1636,
         L"ou=M\u00fcller\\, Vertrieb", L"cn,Mail", Scope::One, L"(|(cn=a?b)(sn=\\2a))",
         L"ldaps://h:1636/ou=M\u00fcller%5C,%20Vertrieb?cn,Mail?one?(%7C(cn=a%3Fb)(sn=%5C2a))"},
        {L"ldap://h/ou=M\u00fcller??base?(cn=Anna Berg)", false, L"h", 389, L"ou=M\u00fcller", L"", Scope::Base,
         L"(cn=Anna Berg)", L"ldap://h/ou=M\u00fcller??base?(cn=Anna%20Berg)"},
        {L"ldap://[2001:db8::1]:3268/dc=x?facsimileTelephoneNumber;binary", false, L"2001:db8::1", 3268, L"dc=x",
         L"facsimileTelephoneNumber;binary", Scope::Sub, kAnyFax,
         L"ldap://[2001:db8::1]:3268/dc=x?facsimileTelephoneNumber;binary?sub?(facsimileTelephoneNumber=*)"},
        {L"ldaps:///dc=corp???", true, L"", 636, L"dc=corp", L"", Scope::Sub, kAnyFax,
         L"ldaps:///dc=corp??sub?(facsimileTelephoneNumber=*)"},
        {L"ldap://h:389", false, L"h", 389, L"", L"", Scope::Sub, kAnyFax, L"ldap://h/??sub?(facsimileTelephoneNumber=*)"},
        {L"ldap://h/??sub??e-bindname=cn=Manager%2cdc=x,1.2.3", false, L"h", 389, L"", L"", Scope::Sub, kAnyFax,
         L"ldap://h/??sub?(facsimileTelephoneNumber=*)"},
        {L"ldap://h/dc=x?*,cn", false, L"h", 389, L"dc=x", L"*,cn", Scope::Sub, kAnyFax,
         L"ldap://h/dc=x?*,cn?sub?(facsimileTelephoneNumber=*)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << CMString(c.text).ToUtf8());
        Url url;
        UrlFault fault = UrlFault::BadPort;
        ASSERT_TRUE(ParseUrl(c.text, url, fault));
        EXPECT_EQ(fault, UrlFault::None);
        EXPECT_EQ(url.secure, c.secure);
        EXPECT_EQ(CMString(url.host), CMString(c.host));
        EXPECT_EQ(url.port, c.port);
        EXPECT_EQ(CMString(url.baseDn), CMString(c.baseDn));
        EXPECT_EQ(CMString(Joined(url.attributes, L',')), CMString(c.attributes));
        EXPECT_EQ(url.scope, c.scope);
        EXPECT_EQ(CMString(url.filter), CMString(c.filter));
        const std::wstring formatted = FormatUrl(url);
        EXPECT_EQ(CMString(formatted), CMString(c.formatted));
        Url again;
        ASSERT_TRUE(ParseUrl(formatted, again, fault));
        EXPECT_EQ(FormatUrl(again), formatted);
    }
}

TEST(Directory, UrlsRefused) {
    const std::pair<const wchar_t*, UrlFault> cases[] = {
        {L"", UrlFault::NotLdapUrl},
        {L"http://h/", UrlFault::NotLdapUrl},
        {L"ldapi://%2Fvar%2Frun%2Fslapd/", UrlFault::NotLdapUrl},
        {L"ldap://h:0/", UrlFault::BadPort},
        {L"ldap://h:65536/", UrlFault::BadPort},
        {L"ldap://h:99999999999999999999/", UrlFault::BadPort},
        {L"ldap://h:38x/", UrlFault::BadPort},
        {L"ldap://[::1/", UrlFault::BadHost},
        {L"ldap://[::1]x/", UrlFault::BadHost},
        {L"ldap://::1/", UrlFault::BadHost},
        {L"ldap://user@h/", UrlFault::BadHost},
        {L"ldap://h?cn", UrlFault::BadHost},
        {L"LDAP://CN=Anna Berg,OU=Staff,DC=corp", UrlFault::BadHost},
        {L"ldap://h/ou=%ZZ", UrlFault::BadEscape},
        {L"ldap://h/ou=%4", UrlFault::BadEscape},
        {L"ldap://h/ou=M%C3ller", UrlFault::BadEscape},
        {L"ldap://h/?cn,,mail", UrlFault::BadAttribute},
        {L"ldap://h/??subtree", UrlFault::BadScope},
        {L"ldap://h/??sub?cn=x", UrlFault::BadFilter},
        {L"ldap://h/??sub?(cn=Smith (Sales))", UrlFault::BadFilter},
        {L"ldap://h/????x?y", UrlFault::TooManyParts},
        {L"ldap://h/???" L"?!StartTLS", UrlFault::CriticalExtension},  // "??!" would be a trigraph
        {L"ldap://h/????x-a,%21bindname=cn=a", UrlFault::CriticalExtension},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(testing::Message() << CMString(text).ToUtf8());
        Url url;
        url.host = L"kept";
        UrlFault fault = UrlFault::None;
        EXPECT_FALSE(ParseUrl(text, url, fault));
        EXPECT_EQ(fault, expected);
        EXPECT_EQ(url.host, L"kept");
    }
}

TEST(Directory, FilterValuesEscapedAndFiltersChecked) {
    const std::pair<std::wstring, std::wstring> escapes[] = {
        {L"Smith (Sales)*", L"Smith \\28Sales\\29\\2a"},
        {L"a\\b", L"a\\5cb"},
        {std::wstring(L"a\0b", 3), L"a\\00b"},
        {L"M\u00fcller & S\u00f6hne", L"M\u00fcller & S\u00f6hne"},
    };
    for (const auto& [value, escaped] : escapes) {
        EXPECT_EQ(EscapeFilterValue(value), escaped);
        // An escaped value never breaks the filter it is put into.
        EXPECT_EQ(CheckFilter(L"(cn=" + EscapeFilterValue(value) + L")").fault, FilterFault::None);
    }

    struct Case {
        const wchar_t* filter;
        FilterFault fault;
        size_t at;
    };
    const Case cases[] = {
        {L"(facsimileTelephoneNumber=*)", FilterFault::None, 0},
        {L" (&(objectClass=person)(|(ou=Sales)(ou=Support))(!(mail=*))) ", FilterFault::None, 0},
        {L"(& (a=b) (c>=d))", FilterFault::None, 0},
        {L"(&)", FilterFault::None, 0},
        {L"(memberOf:1.2.840.113556.1.4.1941:=cn=Fax,dc=x)", FilterFault::None, 0},
        {L"cn=Smith", FilterFault::NoOpening, 0},
        {L"  ", FilterFault::NoOpening, 2},
        {L"(cn=Smith", FilterFault::Unbalanced, 0},
        {L"(&(a=b)(|(c=d)", FilterFault::Unbalanced, 7},
        {L"(a=b))", FilterFault::Unbalanced, 5},
        {L"()", FilterFault::BadItem, 0},
        {L"(cn)", FilterFault::BadItem, 0},
        {L"(=x)", FilterFault::BadItem, 0},
        {L"(!)", FilterFault::BadItem, 0},
        {L"(!(a=b)(c=d))", FilterFault::BadItem, 0},
        {L"(&a=b)", FilterFault::BadItem, 2},
        {L"(cn=Smith (Sales))", FilterFault::UnescapedParenthesis, 10},
        {L"(cn=a\\2)", FilterFault::BadEscape, 5},
        {L"(a=b)(c=d)", FilterFault::TextAfterEnd, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << CMString(c.filter).ToUtf8());
        const FilterCheck check = CheckFilter(c.filter);
        EXPECT_EQ(check.fault, c.fault);
        EXPECT_EQ(check.at, c.at);
    }
}

TEST(Directory, FirstRdnValue) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"cn=Sales,ou=Groups,dc=example,dc=org", L"Sales"},
        {L"CN=Berg\\, Anna,OU=Staff,DC=corp", L"Berg, Anna"},
        {L"cn=R\\+D+ou=x,dc=y", L"R+D"},
        {L"cn=\\\"Q\\\" \\\\ x;dc=y", L"\"Q\" \\ x"},
        {L"cn=M\\C3\\BCller,dc=y", L"M\u00fcller"},
        {L"cn = \"Berg, Anna\" ,dc=y", L"Berg, Anna"},
        {L"cn= Sales  , dc=y", L"Sales"},
        {L"cn=x\\ ,dc=y", L"x "},
        {L"2.5.4.3=Fax Users", L"Fax Users"},
        // Not DNs: as they are.
        {L"Sales", L"Sales"},
        {L"R&D=Research, and more", L"R&D=Research, and more"},
        {L"ou=Sales, free text", L"ou=Sales, free text"},
        {L"cn=x,", L"cn=x,"},
        {L"cn=\"open,dc=y", L"cn=\"open,dc=y"},
        {L"cn=x\\", L"cn=x\\"},
        {L"cn=\\FF,dc=y", L"cn=\\FF,dc=y"},
        {L"=x", L"=x"},
    };
    for (const auto& [dn, value] : cases) EXPECT_EQ(CMString(FirstRdnValue(dn)), CMString(value)) << CMString(dn).ToUtf8();
}

TEST(Directory, MappingOverrides) {
    struct Case {
        const wchar_t* text;
        MappingFault fault;
        const wchar_t* item;
        const wchar_t *name, *fax, *phone, *mailbox;
    };
    const wchar_t* kName = L"displayName|cn|givenName+sn";
    const Case cases[] = {
        {L"", MappingFault::None, L"", kName, L"facsimileTelephoneNumber", L"telephoneNumber", L""},
        {L"Name = givenName+sn | cn , fax=otherFacsimileTelephoneNumber, phone=,", MappingFault::None, L"",
         L"givenName+sn|cn", L"otherFacsimileTelephoneNumber", L"", L""},
        {L"MAILBOX=employeeNumber", MappingFault::None, L"", kName, L"facsimileTelephoneNumber", L"telephoneNumber",
         L"employeeNumber"},
        {L"name=cn, title", MappingFault::NoEquals, L"title"},
        {L"title=x", MappingFault::UnknownField, L"title=x"},
        {L"fax=a,fax=b", MappingFault::RepeatedField, L"fax=b"},
        {L"email=e mail", MappingFault::BadAttribute, L"email=e mail"},
        {L"phone=a||b", MappingFault::BadAttribute, L"phone=a||b"},
        {L"name=+sn", MappingFault::BadAttribute, L"name=+sn"},
        {L"fax= ", MappingFault::Required, L"fax="},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << CMString(c.text).ToUtf8());
        Mapping mapping;
        MappingFault fault = MappingFault::Required;
        std::wstring item;
        EXPECT_EQ(ParseMapping(c.text, mapping, fault, item), c.fault == MappingFault::None);
        EXPECT_EQ(fault, c.fault);
        EXPECT_EQ(CMString(item), CMString(c.item));
        // A refused override leaves the defaults.
        const Case& expected = c.fault == MappingFault::None ? c : cases[0];
        EXPECT_EQ(CMString(Ways(mapping.name)), CMString(expected.name));
        EXPECT_EQ(CMString(Ways(mapping.fax)), CMString(expected.fax));
        EXPECT_EQ(CMString(Ways(mapping.phone)), CMString(expected.phone));
        EXPECT_EQ(CMString(Ways(mapping.mailbox)), CMString(expected.mailbox));
    }

    Mapping mapping;
    EXPECT_EQ(Joined(RequestedAttributes(mapping), L','),
              L"displayName,cn,givenName,sn,facsimileTelephoneNumber,o,company,telephoneNumber,mail");
    MappingFault fault;
    std::wstring item;
    ASSERT_TRUE(ParseMapping(L"organization=CN|company,email=", mapping, fault, item));
    mapping.groups = L"memberOf";
    EXPECT_EQ(Joined(RequestedAttributes(mapping), L','),
              L"displayName,cn,givenName,sn,facsimileTelephoneNumber,company,telephoneNumber,memberOf");
}

TEST(Directory, EntriesBecomeRecords) {
    struct Out {
        const wchar_t *name, *fax, *organization, *phone, *email, *mailbox;
        uint8_t present;
        Rejection rejection = Rejection::None;
        std::vector<CMString> groups = {};
    };
    struct Case {
        const char* what;
        Entry entry;
        std::vector<Out> records;
        const wchar_t* mapping = L"";
        const wchar_t* groups = L"";
    };
    const uint8_t kNameFax = Bit(Column::Name) | Bit(Column::Fax);
    const uint8_t kPerson = kNameFax | Bit(Column::Organization) | Bit(Column::Phone) | Bit(Column::Email);
    const Case cases[] = {
        {"inetOrgPerson: a record per fax number, hyphens gone, values trimmed, a number given twice once",
         {{L"cn", {L" Anna Berg ", L"Anna"}}, {L"facsimileTelephoneNumber", {L"+49-30-1234", L"+49 30 5678", L" +49 30 56-78 "}},
          {L"o", {L"Acme"}}, {L"telephoneNumber", {L"+49 30 1"}}, {L"mail", {L"anna@acme.example"}}},
         {{L"Anna Berg", L"+49301234", L"Acme", L"+49 30 1", L"anna@acme.example", L"", kPerson},
          {L"Anna Berg", L"+49 30 5678", L"Acme", L"+49 30 1", L"anna@acme.example", L"", kPerson}}},
        {"Active Directory: displayName first, company, names in any case; no mail blanks nothing",
         {{L"CN", {L"Anna Berg"}}, {L"DISPLAYNAME", {L"Berg, Anna"}}, {L"company", {L"Acme AG"}},
          {L"facsimiletelephonenumber", {L"030-999"}}},
         {{L"Berg, Anna", L"030999", L"Acme AG", L"", L"", L"", kNameFax | Bit(Column::Organization)}}},
        {"a blank displayName gives way; given name and surname, or either alone",
         {{L"displayName", {L"  "}}, {L"givenName", {L" Ewa "}}, {L"sn", {L"Nowak"}}, {L"facsimileTelephoneNumber", {L"1"}}},
         {{L"Ewa Nowak", L"1", L"", L"", L"", L"", kNameFax}}},
        {"surname alone", {{L"sn", {L"Nowak"}}, {L"facsimileTelephoneNumber", {L"1"}}},
         {{L"Nowak", L"1", L"", L"", L"", L"", kNameFax}}},
        {"no fax number, or one of hyphens only: one record, rejected",
         {{L"cn", {L"X"}}, {L"facsimileTelephoneNumber", {L"--", L" "}}},
         {{L"X", L"", L"", L"", L"", L"", kNameFax, Rejection::NoFax}}},
        {"a fax number's letters, and a missing name, are told",
         {{L"facsimileTelephoneNumber", {L"555 FAX", L"556"}}},
         {{L"", L"555 FAX", L"", L"", L"", L"", kNameFax, Rejection::FaxCharacter},
          {L"", L"556", L"", L"", L"", L"", kNameFax, Rejection::NoName}}},
        {"groups from memberOf by their first RDN, each once, on every record of the entry",
         {{L"cn", {L"A"}}, {L"facsimileTelephoneNumber", {L"1", L"2"}},
          {L"memberOf", {L"CN=Sales,OU=Groups,DC=x", L"cn=SALES,ou=Old,dc=x", L" Support ", L""}}},
         {{L"A", L"1", L"", L"", L"", L"", kNameFax, Rejection::None, {L"Sales", L"Support"}},
          {L"A", L"2", L"", L"", L"", L"", kNameFax, Rejection::None, {L"Sales", L"Support"}}},
         L"", L"memberOf"},
        {"an override: name from cn alone, a mailbox, organization no longer read",
         {{L"displayName", {L"Shown"}}, {L"cn", {L"Common"}}, {L"o", {L"Acme"}}, {L"facsimileTelephoneNumber", {L"1", L"2"}},
          {L"employeeNumber", {L"A7"}}},
         {{L"Common", L"1", L"", L"", L"", L"A7", kNameFax | Bit(Column::Mailbox), Rejection::MailboxCharacter},
          {L"Common", L"2", L"", L"", L"", L"A7", kNameFax | Bit(Column::Mailbox), Rejection::MailboxCharacter}},
         L"name=cn,mailbox=employeeNumber,organization="},
    };
    entry::CharacterRules rules;
    rules.allowedFax = L"0123456789 +()";
    rules.allowedMailbox = L"0123456789";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Mapping mapping;
        MappingFault fault;
        std::wstring item;
        ASSERT_TRUE(ParseMapping(c.mapping, mapping, fault, item));
        mapping.groups = c.groups;
        const intake::SourceRead read = Collect({c.entry}, mapping, rules);
        ASSERT_EQ(read.records.size(), c.records.size());
        for (size_t i = 0; i < c.records.size(); ++i) {
            const Out& want = c.records[i];
            const intake::Record& got = read.records[i];
            EXPECT_EQ(got.fields.name, CMString(want.name));
            EXPECT_EQ(got.fields.fax, CMString(want.fax));
            EXPECT_EQ(got.fields.organization, CMString(want.organization));
            EXPECT_EQ(got.fields.phone, CMString(want.phone));
            EXPECT_EQ(got.fields.email, CMString(want.email));
            EXPECT_EQ(got.fields.mailbox, CMString(want.mailbox));
            EXPECT_EQ(got.present, want.present);
            EXPECT_EQ(got.rejection, want.rejection);
            EXPECT_EQ(got.groups, want.groups);
        }
    }

    // A search cut short says so; the records before the cut keep their order.
    const intake::SourceRead cut = Collect({cases[1].entry, cases[0].entry}, Mapping(), rules, false);
    EXPECT_FALSE(cut.complete);
    ASSERT_EQ(cut.records.size(), 3u);
    EXPECT_EQ(cut.records[0].fields.name, L"Berg, Anna");
    EXPECT_EQ(cut.records[2].fields.fax, L"+49 30 5678");
    EXPECT_TRUE(Collect({}, Mapping(), rules).complete);
}

// What a read may ask, judged before anything is sent: the URL's attributes are the
// only ones read (a way needs every one of its attributes), and a login needs a password.
TEST(Directory, RequestsCheckedBeforeSending) {
    struct Case {
        const wchar_t* url;
        const wchar_t* mapping;  // an override, or nullptr for the defaults
        const wchar_t* bindDn;
        const wchar_t* password;
        RequestFault fault;
        std::wstring attribute;
        // After a check that passed: the attributes asked for, and the name's ways.
        std::wstring requested, nameWays;
    };
    const std::wstring everything = L"displayName,cn,givenName,sn,facsimileTelephoneNumber,o,company,telephoneNumber,mail";
    const Case cases[] = {
        {L"ldap://h/dc=x", nullptr, L"", L"", RequestFault::None, L"", everything, L"displayName|cn|givenName+sn"},
        {L"ldap://h/dc=x?*", nullptr, L"", L"", RequestFault::None, L"", everything, L"displayName|cn|givenName+sn"},
        {L"ldap://h/dc=x?cn,facsimileTelephoneNumber,mail", nullptr, L"", L"", RequestFault::None, L"",
         L"cn,facsimileTelephoneNumber,mail", L"cn"},
        {L"ldap://h/dc=x?CN,FACSIMILETELEPHONENUMBER", nullptr, L"", L"", RequestFault::None, L"",
         L"cn,facsimileTelephoneNumber", L"cn"},
        {L"ldap://h/dc=x?sn,givenName,facsimileTelephoneNumber", nullptr, L"", L"", RequestFault::None, L"",
         L"givenName,sn,facsimileTelephoneNumber", L"givenName+sn"},
        {L"ldap://h/dc=x?uid,facsimileTelephoneNumber", L"name=uid", L"", L"", RequestFault::None, L"",
         L"uid,facsimileTelephoneNumber", L"uid"},
        {L"ldap://h/dc=x?sn,facsimileTelephoneNumber", nullptr, L"", L"", RequestFault::NoNameAttribute, L"", L"", L""},
        {L"ldap://h/dc=x?displayName,mail", nullptr, L"", L"", RequestFault::NoFaxAttribute, L"", L"", L""},
        {L"ldap://h/dc=x?1.1", nullptr, L"", L"", RequestFault::NoNameAttribute, L"", L"", L""},
        {L"ldap://h/dc=x?cn,facsimileTelephoneNumber,title", nullptr, L"", L"", RequestFault::UnreadAttribute, L"title",
         L"", L""},
        {L"ldap://h/dc=x?cn,facsimileTelephoneNumber", nullptr, L"cn=reader,dc=x", L"", RequestFault::NoPassword, L"", L"",
         L""},
        {L"ldap://h/dc=x", nullptr, L"fax@example.org", L" ", RequestFault::None, L"", everything,
         L"displayName|cn|givenName+sn"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << CMString(c.url).ToUtf8() << " " << CMString(c.bindDn).ToUtf8());
        Url url;
        UrlFault urlFault = UrlFault::None;
        ASSERT_TRUE(ParseUrl(c.url, url, urlFault));
        Mapping mapping;
        MappingFault mappingFault = MappingFault::None;
        std::wstring item;
        if (c.mapping) ASSERT_TRUE(ParseMapping(c.mapping, mapping, mappingFault, item));
        const std::wstring before = Joined(RequestedAttributes(mapping), L',');
        const RequestCheck check = CheckRequest(url, c.bindDn, c.password, mapping);
        EXPECT_EQ(check.fault, c.fault);
        EXPECT_EQ(CMString(check.attribute), CMString(c.attribute));
        const std::wstring requested = Joined(RequestedAttributes(mapping), L',');
        if (c.fault != RequestFault::None) {
            EXPECT_EQ(CMString(requested), CMString(before));  // left as it was
            continue;
        }
        EXPECT_EQ(CMString(requested), CMString(c.requested));
        EXPECT_EQ(CMString(Ways(mapping.name)), CMString(c.nameWays));
    }

    // Groups come only from an attribute the URL names.
    Url url;
    UrlFault urlFault = UrlFault::None;
    ASSERT_TRUE(ParseUrl(L"ldap://h/dc=x?cn,facsimileTelephoneNumber", url, urlFault));
    Mapping mapping;
    mapping.groups = L"memberOf";
    const RequestCheck lacking = LimitToUrl(url, mapping);
    EXPECT_EQ(lacking.fault, RequestFault::GroupsNotInUrl);
    EXPECT_EQ(CMString(lacking.attribute), CMString(L"memberOf"));
    url.attributes.push_back(L"MemberOf");
    EXPECT_EQ(LimitToUrl(url, mapping).fault, RequestFault::None);
    EXPECT_EQ(CMString(Joined(RequestedAttributes(mapping), L',')), CMString(L"cn,facsimileTelephoneNumber,memberOf"));
}
