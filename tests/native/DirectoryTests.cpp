// An office directory as a source: its URL and the filters a user types.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PrintCMString.h"
#include "directory/core/Filter.h"
#include "directory/core/Url.h"

using namespace directory;

namespace {

const std::wstring kAnyFax(kDefaultFilter);

std::wstring Joined(const std::vector<std::wstring>& items, wchar_t separator) {
    std::wstring out;
    for (const auto& item : items) out += (out.empty() ? L"" : std::wstring(1, separator)) + item;
    return out;
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
        EXPECT_EQ(again.baseDn, url.baseDn);
        EXPECT_EQ(again.filter, url.filter);
    }
}

TEST(Directory, UrlsRefused) {
    const std::pair<const wchar_t*, UrlFault> cases[] = {
        {L"", UrlFault::NotLdapUrl},
        {L"http://h/", UrlFault::NotLdapUrl},
        {L"ldap:/h/", UrlFault::NotLdapUrl},
        {L"ldapi://%2Fvar%2Frun%2Fslapd/", UrlFault::NotLdapUrl},
        {L"ldap://h:0/", UrlFault::BadPort},
        {L"ldap://h:65536/", UrlFault::BadPort},
        {L"ldap://h:99999999999999999999/", UrlFault::BadPort},
        {L"ldap://h:38x/", UrlFault::BadPort},
        {L"ldap://[::1/", UrlFault::BadHost},
        {L"ldap://[::1]x/", UrlFault::BadHost},
        {L"ldap://[v1.x]/", UrlFault::BadHost},
        {L"ldap://::1/", UrlFault::BadHost},
        {L"ldap://user@h/", UrlFault::BadHost},
        {L"ldap://h?cn", UrlFault::BadHost},
        {L"LDAP://CN=Anna Berg,OU=Staff,DC=corp", UrlFault::BadHost},
        {L"ldap://h/ou=%ZZ", UrlFault::BadEscape},
        {L"ldap://h/ou=%4", UrlFault::BadEscape},
        {L"ldap://h/ou=M%C3ller", UrlFault::BadEscape},
        {L"ldap://h/?cn,,mail", UrlFault::BadAttribute},
        {L"ldap://h/?c n", UrlFault::BadAttribute},
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
        {L"(cn=a\\*)", FilterFault::BadEscape, 5},
        {L"(a=b)(c=d)", FilterFault::TextAfterEnd, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << CMString(c.filter).ToUtf8());
        const FilterCheck check = CheckFilter(c.filter);
        EXPECT_EQ(check.fault, c.fault);
        EXPECT_EQ(check.at, c.at);
    }
}
