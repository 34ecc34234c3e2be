// pbtool's directory source against a real OpenLDAP server (tests/ldap-server, which
// ctest's ldap fixture starts for the directory_tests entry), run as a script runs it: a
// separate process, its books read back through the storage wrapper. The people named
// here are the fixed ones at the top of tests/ldap-people.py. Without a server (the
// main win_tests entry) every test here is skipped.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "PrintCMString.h"
#include "data/PhonebookDB.h"
#include "EntryDialogScript.h"
#include "app/AppGlobals.h"
#include "directory/DirectoryDlg.h"
#include "PbtoolRun.h"
#include "ServerDialogScript.h"
#include "harness/TestEnvironment.h"
#include "mainwindow/ListViewUIControl.h"
#include "mainwindow/PhoneBookDlg.h"
#include "settings/SettingsStore.h"
#include "resources/resource.h"
#include "util/Handles.h"

namespace {

using namespace pbtooltest;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < text.size()) {
        size_t to = text.find('\n', from);
        if (to == std::string::npos) to = text.size();
        std::string line = text.substr(from, to - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
        from = to + 1;
    }
    return lines;
}

// Whether one line holds every one of these parts.
bool HasLine(const std::string& text, const std::vector<const char*>& parts) {
    for (const std::string& line : Lines(text)) {
        if (std::all_of(parts.begin(), parts.end(), [&](const char* p) { return line.find(p) != std::string::npos; }))
            return true;
    }
    return false;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    return text;
}


bool Has(const std::vector<std::wstring>& lines, const std::wstring& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The line of the group of this name, or an empty text.
std::wstring GroupLine(const std::vector<std::wstring>& lines, const std::wstring& name) {
    for (const auto& line : lines) {
        if (line == L"G|" + name || line.rfind(L"G|" + name + L"|", 0) == 0) return line;
    }
    return {};
}

long Members(const std::wstring& groupLine) {
    return groupLine.empty() ? -1 : static_cast<long>(std::count(groupLine.begin(), groupLine.end(), L'|')) - 1;
}

// Entries' ids by name and fax.
std::map<std::wstring, uint16_t> Ids(const CMString& path) {
    PhonebookDB db;
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    std::map<std::wstring, uint16_t> ids;
    if (!db.Open(path, 0, 1)) return ids;
    RecordList records;
    db.SetSearchText(CMString());
    db.Enumerate(records, false);
    for (const auto& r : records) ids[std::wstring(r->name) + L"/" + std::wstring(r->fax)] = r->id;
    db.Close();
    return ids;
}

CMString WindowsPath(const std::string& unixPath) {
    CMString path = L"Z:" + CMString::FromUtf8(unixPath);
    path.Replace(L"/", L"\\");
    return path;
}

// The server of ctest's ldap fixture: its folder (a Unix path, for tests/ldap-server)
// and ports.
struct Server {
    std::string folder;
    int ldap = 0, ldaps = 0;

    CMString Url(const wchar_t* rest, bool secure = false) const {
        return CMString(secure ? L"ldaps" : L"ldap") + L"://127.0.0.1:" + std::to_wstring(secure ? ldaps : ldap) + L"/" +
               rest;
    }
    // Changes the directory as its administrator; false when they did not all apply.
    bool Modify(const std::string& ldif) const {
        static int changes = 0;
        const std::string file = folder + "/change-" + std::to_string(++changes) + ".ldif";
        const CMString rc = WindowsPath(file + ".rc");
        WriteText(WindowsPath(file), ldif);
        const char* script = std::getenv("PBE_LDAP_SERVER");
        if (!script) return false;
        CMString line = Q(WindowsPath(script)) + L" modify " + CMString::FromUtf8(folder) + L" " + CMString::FromUtf8(file);
        STARTUPINFOW si = {sizeof si};
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(nullptr, line.GetBuffer(line.GetLength() + 1), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &si, &pi))
            return false;
        // Wine gives no handle of a Unix process to wait on: the script leaves its
        // exit code in a file when it is done.
        if (pi.hProcess) CloseHandle(pi.hProcess);
        if (pi.hThread) CloseHandle(pi.hThread);
        for (int waited = 0; waited < 30000; waited += 50) {
            if (GetFileAttributesW(rc.c_str()) != INVALID_FILE_ATTRIBUTES) return ReadAll(rc).rfind("0\n", 0) == 0;
            Sleep(50);
        }
        return false;
    }
};

bool FindServer(Server& server) {
    const char* folder = std::getenv("PBE_LDAP_DIR");
    if (!folder || !*folder) return false;
    server.folder = folder;
    const std::string ports = ReadAll(WindowsPath(server.folder + "/ports"));
    return sscanf(ports.c_str(), "%d %d", &server.ldap, &server.ldaps) == 2;
}

// A port of 127.0.0.1 nobody listens on: one the system just handed out and took back.
int UnusedPort() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    closesocket(s);
    return port;
}

bool Answers(int port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    const bool connected = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    closesocket(s);
    return connected;
}

const wchar_t kEveryone[] = L"dc=example,dc=org";
// Department Legal, p0001 .. p0040: 39 people with a fax, 40 fax numbers.
const wchar_t kLegal[] = L"ou=People,dc=example,dc=org??sub?(&(departmentNumber=Legal)(facsimileTelephoneNumber=*))";
const wchar_t kReader[] = L"--bind-dn cn=reader,dc=example,dc=org --password-file ";

class Directory : public testing::Test {
protected:
    void SetUp() override {
        if (!FindServer(server)) GTEST_SKIP() << "no LDAP server: ctest's directory_tests entry starts one";
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
        password = folder.File(L"reader.pw");
        WriteText(password, "readerpw");
    }
    void TearDown() override { WSACleanup(); }

    // A new book with a hand-made entry.
    CMString Book(const wchar_t* name, const wchar_t* format = L"mpb2") {
        const CMString book = folder.File(name), csv = folder.File(L"hand.csv");
        WriteText(csv, "Hand Made,555\r\n");
        EXPECT_EQ(Pbtool(folder, L"create " + Q(book) + L" --format " + format).code, 0);
        EXPECT_EQ(Pbtool(folder, L"import " + Q(book) + L" " + Q(csv)).code, 0);
        return book;
    }

    Server server;
    testenv::TempFolder folder;
    CMString password;
};

TEST_F(Directory, ServerAnswersOnBothPorts) {
    EXPECT_TRUE(Answers(server.ldap));
    EXPECT_TRUE(Answers(server.ldaps));
}

// Every way in reads the same people: past the server's limit of 500 by pages, over
// TLS either way, bound or anonymous; fields and groups as the options map them.
TEST_F(Directory, ListingReadsEveryPersonWithAFax) {
    struct Case {
        const char* what;
        bool ldaps;
        const wchar_t* search;
        CMString options;
        int people, records;
        std::vector<std::vector<const char*>> lines;  // each: parts one line holds
    } cases[] = {
        {"paged", false, kEveryone, L"--page-size 200", 2600, 2650,
         {{"Anna Müller", "+49 (0)30 1000001"}, {"דוד כהן", "+972 31000004"}, {"José Núñez", "+34 91 100 00 05"},
          {"José Núñez", "+34 91 100 00 06"}, {"Ēriks Bērziņš", "+371 6710 0009"}}},
        {"paged, bound as a reader", false, kEveryone, L"--page-size 500 " + CMString(kReader) + Q(password), 2600, 2650,
         {{"Γιώργος Παπαδόπουλος", "+30 21 0100 0002"}}},
        {"StartTLS", false, kEveryone, L"--starttls --page-size 1000", 2600, 2650, {{"Ольга Смирнова", "+7 495 1000003"}}},
        {"LDAPS", true, kEveryone, L"--page-size 1000 --timeout 30", 2600, 2650, {{"Anna Müller", "+49 (0)30 1000001"}}},
        // 54 people named Müller, 7 of them without a fax, 2 with two.
        {"a filter in other letters", false, L"dc=example,dc=org??sub?(sn=M%C3%BCller)", L"", 54, 49,
         {{"Anna Müller", "+49 (0)30 1000001"}}},
        {"one department, its groups", false, kLegal, L"--groups-from departmentNumber", 39, 40,
         {{"Anna Müller", "+49 (0)30 1000001", "Legal"}, {"Søren Østergård", "+45 33 10 00 07", "Legal"}}},
        {"one department, names from another attribute", false, kLegal, L"--map name=uid", 39, 40,
         {{"p0001", "+49 (0)30 1000001"}, {"p0009", "+371 6710 0009"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ToolRun run = Pbtool(folder, L"directory " + Q(server.Url(c.search, c.ldaps)) + L" " + c.options);
        ASSERT_EQ(run.code, 0) << run.err;
        const std::vector<std::string> lines = Lines(run.out);
        ASSERT_FALSE(lines.empty());
        const std::string summary = std::to_string(c.people) + " entries: " + std::to_string(c.records) + " with a fax";
        EXPECT_EQ(lines.back().rfind(summary, 0), 0u) << lines.back();
        EXPECT_EQ(lines.size(), static_cast<size_t>(c.records) + 1);
        for (const auto& parts : c.lines) {
            EXPECT_TRUE(HasLine(run.out, parts)) << parts.front();
        }
        // Zoë Lefèvre has no fax.
        EXPECT_EQ(run.out.find("Zoë Lefèvre"), std::string::npos);
    }
}

// Each fault fails the listing with a message that names it, and a sync on it changes
// nothing, even one allowed to shrink the book: a read that failed or stopped short is
// no picture of the directory.
TEST_F(Directory, FaultsFailAndLeaveTheBookAlone) {
    const CMString wrong = folder.File(L"wrong.pw");
    WriteText(wrong, "wrongpw");
    const CMString down = L"ldap://127.0.0.1:" + std::to_wstring(UnusedPort()) + L"/dc=example,dc=org";
    struct Case {
        const char* what;
        CMString url, options;
        const char* said;  // in the message, in any case
    } cases[] = {
        {"unpaged: cut at the server's limit", server.Url(kEveryone), L"--page-size 0", "stopped short"},
        {"wrong password", server.Url(kEveryone), L"--page-size 500 " + CMString(kReader) + Q(wrong), "refused the login"},
        {"server down", down, L"--timeout 10", "127.0.0.1"},
        {"missing base", server.Url(L"ou=Nowhere,dc=example,dc=org"), L"--page-size 500", "ou=nowhere"},
        {"bad filter", server.Url(L"dc=example,dc=org??sub?(cn=*"), L"--page-size 500", "(cn=*"},
    };
    const CMString book = Book(L"book.mpb2");
    const std::vector<std::wstring> before = Contents(book);
    ASSERT_EQ(before.size(), 1u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ToolRun listing = Pbtool(folder, L"directory " + Q(c.url) + L" " + c.options);
        EXPECT_EQ(listing.code, 1);
        EXPECT_EQ(listing.out.find("entries with a fax"), std::string::npos) << listing.out;
        EXPECT_NE(Lower(listing.err).find(c.said), std::string::npos) << listing.err;
        const ToolRun sync = Pbtool(folder, L"sync " + Q(book) + L" " + Q(c.url) + L" --allow-shrink " + c.options);
        EXPECT_EQ(sync.code, 1) << sync.out << sync.err;
        EXPECT_EQ(Contents(book), before);
    }
}

// A sync of more people than an older book holds (1000) is refused whole.
TEST_F(Directory, SyncOfMoreThanTheBookHoldsIsRefusedWhole) {
    const CMString book = Book(L"small.mpb", L"mpb");
    const std::vector<std::wstring> before = Contents(book);
    ASSERT_EQ(before.size(), 1u);
    const ToolRun run = Pbtool(folder, L"sync " + Q(book) + L" " + Q(server.Url(kEveryone)) + L" --allow-shrink");
    EXPECT_EQ(run.code, 1) << run.out;
    EXPECT_NE(run.err.find("no more than 1000"), std::string::npos) << run.err;
    EXPECT_EQ(Contents(book), before);
}

// Every field the directory gives reaches the book, in any script, and each department
// becomes a group.
TEST_F(Directory, ImportBringsFieldsAndGroups) {
    const CMString book = Book(L"book.mpb2");
    const ToolRun run =
        Pbtool(folder, L"import " + Q(book) + L" " + Q(server.Url(kLegal)) + L" --groups-from departmentNumber");
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("40 read, 40 imported, 0 rejected, 0 already present, 0 without room"), std::string::npos)
        << run.out;
    const std::vector<std::wstring> lines = Contents(book);
    EXPECT_EQ(lines.size(), 42u);  // the hand-made entry, 40 from the directory, group Legal
    for (const wchar_t* line : {L"E|Hand Made|555||||0",
                                L"E|Anna Müller|+49 (0)30 1000001|Beispiel AG|+49 (0)30 1000-100|anna.mueller@example.org|0",
                                L"E|דוד כהן|+972 31000004||||0", L"E|José Núñez|+34 91 100 00 05||||0",
                                L"E|José Núñez|+34 91 100 00 06||||0", L"E|Ēriks Bērziņš|+371 6710 0009||||0"}) {
        EXPECT_TRUE(Has(lines, line)) << CMString(line).ToUtf8();
    }
    const std::wstring legal = GroupLine(lines, L"Legal");
    EXPECT_EQ(Members(legal), 40) << CMString(legal).ToUtf8();
    EXPECT_NE(legal.find(L"|Anna Müller/+49 (0)30 1000001"), std::wstring::npos);

    // Once more: everybody is there already.
    const ToolRun again = Pbtool(folder, L"import " + Q(book) + L" " + Q(server.Url(kLegal)));
    EXPECT_EQ(again.code, 0) << again.err;
    EXPECT_NE(again.out.find("40 read, 0 imported, 0 rejected, 40 already present"), std::string::npos) << again.out;
    EXPECT_EQ(Contents(book), lines);
}

// A book kept following the directory: a sync that manages its group leaves the
// hand-made entry alone, takes a changed fax number in place (the entry keeps its id and
// group) and drops the person who left. The directory is put back afterwards.
TEST_F(Directory, SyncFollowsTheDirectory) {
    const std::string soren = "dn: uid=p0007,ou=People,dc=example,dc=org\nchangetype: modify\n"
                              "replace: facsimileTelephoneNumber\nfacsimileTelephoneNumber: ";
    const std::string lukasz = "dn: uid=p0008,ou=People,dc=example,dc=org\nchangetype: ";
    struct Restore {
        const Server& server;
        std::string ldif;
        ~Restore() {
            if (!ldif.empty()) {
                EXPECT_TRUE(server.Modify(ldif)) << "the directory was not put back";
            }
        }
    } restore{server, {}};

    const CMString book = Book(L"book.mpb2");
    const CMString sync = L"sync " + Q(book) + L" " + Q(server.Url(kLegal)) + L" --group Directory";
    const ToolRun first = Pbtool(folder, sync);
    ASSERT_EQ(first.code, 0) << first.err;
    EXPECT_NE(first.out.find("40 read, 40 added, 0 updated, 0 unchanged, 0 removed, 0 rejected, 0 without room"),
              std::string::npos) << first.out;
    const std::vector<std::wstring> synced = Contents(book);
    EXPECT_EQ(synced.size(), 42u);
    EXPECT_TRUE(Has(synced, L"E|Hand Made|555||||0"));
    const std::wstring group = GroupLine(synced, L"Directory");
    EXPECT_EQ(Members(group), 40) << CMString(group).ToUtf8();
    const auto ids = Ids(book);
    const auto id = ids.find(L"Søren Østergård/+45 33 10 00 07");
    ASSERT_NE(id, ids.end());

    restore.ldif = soren + "+45 33 10 00 07\n\n" + lukasz +
                   "add\nobjectClass: inetOrgPerson\nuid: p0008\ncn:: xYF1a2FzeiBXw7NqY2lr\n"
                   "givenName:: xYF1a2Fzeg==\nsn:: V8OzamNpaw==\ndisplayName:: xYF1a2FzeiBXw7NqY2lr\n"
                   "facsimileTelephoneNumber: +48 22 100 00 08\ndepartmentNumber: Legal\n";
    ASSERT_TRUE(server.Modify(soren + "+45 33 99-99-07\n\n" + lukasz + "delete\n"));

    // A dry run tells the change and makes none.
    const ToolRun dry = Pbtool(folder, sync + L" --dry-run");
    EXPECT_EQ(dry.code, 0) << dry.err;
    EXPECT_TRUE(HasLine(dry.out, {"Søren Østergård", "+45 33 999907"})) << dry.out;
    EXPECT_TRUE(HasLine(dry.out, {"Łukasz Wójcik"})) << dry.out;
    EXPECT_EQ(Contents(book), synced);

    const ToolRun second = Pbtool(folder, sync);
    ASSERT_EQ(second.code, 0) << second.err;
    EXPECT_NE(second.out.find("39 read, 0 added, 1 updated, 38 unchanged, 1 removed, 0 rejected, 0 without room"),
              std::string::npos) << second.out;
    const std::vector<std::wstring> followed = Contents(book);
    EXPECT_EQ(followed.size(), 41u);
    EXPECT_TRUE(Has(followed, L"E|Hand Made|555||||0"));
    EXPECT_TRUE(Has(followed, L"E|Søren Østergård|+45 33 999907||||0"));
    EXPECT_FALSE(Has(followed, L"E|Łukasz Wójcik|+48 22 100 00 08||||0"));
    EXPECT_EQ(Ids(book)[L"Søren Østergård/+45 33 999907"], id->second);
    const std::wstring kept = GroupLine(followed, L"Directory");
    EXPECT_EQ(Members(kept), 39) << CMString(kept).ToUtf8();
    EXPECT_NE(kept.find(L"|Søren Østergård/+45 33 999907"), std::wstring::npos);
}

}  // namespace

// One run through the real dialog: the book follows the Legal department into a managed
// group; a narrower search then would remove one person, and the dialog asks first: no
// leaves the book as it was, yes removes him and keeps the entry made by hand.
TEST_F(Directory, TheDialogFollowsTheDirectoryAndAsksBeforeRemoving) {
    const CMString book = Book(L"dialog.mpb2");
    UniqueWindow window(CreateDialogParamW(app::Instance(), MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                                           [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; }, 0));
    ListViewUIControl list{IDC_LIST};
    list.AttachToDialog(window.Get());
    auto model = std::make_unique<CPhonebook>(window.Get());
    model->AttachMainList(&list);
    ASSERT_TRUE(model->Database().Open(book, 0, 0));
    model->Refresh(true);
    const CMString withoutLukasz =
        L"ou=People,dc=example,dc=org??sub?(&(departmentNumber=Legal)(facsimileTelephoneNumber=*)(!(uid=p0008)))";
    // answer: 0 no question expected, else the button pressed on it.
    auto run = [&](const CMString& search, int answer) {
        entrytest::InDialog script([&](HWND d) {
            serverdialog::ChooseKind(d, ServerSettings::kDirectory);
            SetDlgItemTextW(d, IDC_DIR_SERVER, server.Url(search.c_str()).c_str());
            CheckRadioButton(d, IDC_DIR_ANONYMOUS, IDC_DIR_LOGIN, IDC_DIR_LOGIN);
            SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_DIR_LOGIN, BN_CLICKED), 0);
            SetDlgItemTextW(d, IDC_DIR_USER, L"cn=reader,dc=example,dc=org");
            SetDlgItemTextW(d, IDC_DIR_PASSWORD, L"readerpw");
            SetDlgItemTextW(d, IDC_DIR_GROUP, L"Directory");
            CheckDlgButton(d, IDC_DIR_UPDATE, BST_CHECKED);
            SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_DIR_UPDATE, BN_CLICKED), 0);
            CheckDlgButton(d, IDC_DIR_SYNC, BST_CHECKED);
            SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            EXPECT_TRUE(serverdialog::WaitForRead(d));
        });
        harness::ModalDriver driver;
        driver.Then(script.Start());
        if (answer) driver.ThenPress(answer);
        if (answer != IDNO) driver.ThenPress(IDC_MESSAGE_BUTTON);
        CDirectoryDlg dialog(*model);
        return dialog.Run(window.Get());
    };
    auto count = [&](const char* part) {
        const auto lines = Contents(book);
        return std::count_if(lines.begin(), lines.end(), [&](const std::wstring& l) {
            return CMString(l).ToUtf8().find(part) != std::string::npos;
        });
    };
    EXPECT_EQ(run(CMString(kLegal), 0), IDOK);
    EXPECT_EQ(count("E|"), 41);  // 40 fax numbers of Legal, and the hand-made entry
    EXPECT_EQ(count("\u0141ukasz W\u00f3jcik"), 2);  // his entry, and his place in the group
    EXPECT_EQ(run(withoutLukasz, IDNO), IDCANCEL);
    EXPECT_EQ(count("E|"), 41);
    EXPECT_EQ(run(withoutLukasz, IDYES), IDOK);
    EXPECT_EQ(count("\u0141ukasz W\u00f3jcik"), 0);
    EXPECT_EQ(count("Hand Made"), 1);
    RegDeleteTreeW(HKEY_CURRENT_USER, CDirectoryDlg::kSettingsKey);
}

// The dialog refuses a login without a password before it connects (the server named is
// no server, so anything sent would end in "no server answers"), remembers a long
// password with its spaces, and offers adoption only with a managed group to adopt into.
TEST(DirectoryDialog, RefusesAnEmptyPasswordAndRemembersAdoption) {
    RegDeleteTreeW(HKEY_CURRENT_USER, CDirectoryDlg::kSettingsKey);
    UniqueWindow window(CreateDialogParamW(app::Instance(), MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                                           [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; }, 0));
    CPhonebook model(window.Get());
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    const int port = UnusedPort();
    WSACleanup();
    ASSERT_NE(port, 0);
    const CMString nowhere = L"ldap://127.0.0.1:" + std::to_wstring(port) + L"/dc=example,dc=org";
    const std::wstring password = L"  " + std::wstring(1500, L'p') + L" ";
    auto text = [](HWND d, int id) {
        std::wstring t(static_cast<size_t>(GetWindowTextLengthW(GetDlgItem(d, id))) + 1, L'\0');
        t.resize(static_cast<size_t>(GetDlgItemTextW(d, id, t.data(), static_cast<int>(t.size()))));
        return t;
    };
    CMString refusal;
    entrytest::InDialog first([&](HWND d) {
        EXPECT_NE(text(d, IDC_DIR_ADOPT).find(L'&'), std::wstring::npos);
        EXPECT_FALSE(IsDlgButtonChecked(d, IDC_DIR_ADOPT));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_DIR_ADOPT)));  // no managed group yet
        SetDlgItemTextW(d, IDC_DIR_GROUP, L"Directory");
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_DIR_ADOPT)));
        CheckDlgButton(d, IDC_DIR_ADOPT, BST_CHECKED);
        SetDlgItemTextW(d, IDC_DIR_SERVER, nowhere.c_str());
        CheckRadioButton(d, IDC_DIR_ANONYMOUS, IDC_DIR_LOGIN, IDC_DIR_LOGIN);
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_DIR_LOGIN, BN_CLICKED), 0);
        SetDlgItemTextW(d, IDC_DIR_USER, L"cn=reader,dc=example,dc=org");
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_DIR_TEST, BN_CLICKED), 0);
        EXPECT_EQ(text(d, IDC_DIR_STATUS), L"");  // nothing was read
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), IDC_DIR_PASSWORD);
        // With the password, the import gets as far as the server that is not there.
        SetDlgItemTextW(d, IDC_DIR_PASSWORD, password.c_str());
        CheckDlgButton(d, IDC_DIR_REMEMBER, BST_CHECKED);
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(serverdialog::WaitForRead(d));
        EXPECT_NE(text(d, IDC_DIR_STATUS).find(L"127.0.0.1"), std::wstring::npos);
    });
    {
        harness::ModalDriver driver;
        driver.Then(first.Start()).Then([&](const harness::SeenWindow& seen) {
            refusal = seen.text;
            harness::ModalDriver::Press(IDOK)(seen);
        });
        CDirectoryDlg dialog(model);
        EXPECT_EQ(dialog.Run(window.Get()), IDCANCEL);
        EXPECT_TRUE(first.Ran());
    }
    EXPECT_EQ(refusal, CMString::Formatted(app::Text(IDS_DIR_NO_PASSWORD).c_str(), L"cn=reader,dc=example,dc=org"));

    // Settings as an older version left them: no kind, no address book.
    RegDeleteKeyValueW(HKEY_CURRENT_USER, CDirectoryDlg::kSettingsKey, L"Kind");
    RegDeleteTreeW(HKEY_CURRENT_USER, CDirectoryDlg::kAddressBookKey);
    entrytest::InDialog second([&](HWND d) {
        EXPECT_EQ(SendDlgItemMessageW(d, IDC_SRV_KIND, CB_GETCURSEL, 0, 0), ServerSettings::kDirectory);
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(d, IDC_DIR_SERVER)));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, IDC_DAV_URL)));
        EXPECT_EQ(text(d, IDC_DIR_SERVER), nowhere.str());
        EXPECT_EQ(text(d, IDC_DIR_PASSWORD), password);
        EXPECT_TRUE(IsDlgButtonChecked(d, IDC_DIR_REMEMBER));
        EXPECT_TRUE(IsDlgButtonChecked(d, IDC_DIR_ADOPT));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_DIR_ADOPT)));
    });
    {
        harness::ModalDriver driver;
        driver.Then(second.Start());
        CDirectoryDlg dialog(model);
        dialog.Run(window.Get());
        EXPECT_TRUE(second.Ran());
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, CDirectoryDlg::kSettingsKey);
}

namespace {

// Policies, the user's own settings and the books' follow records, as a test leaves
// them: gone.
struct PolicyScope {
    PolicyScope() { Clear(); }
    ~PolicyScope() { Clear(); }
    static void Clear() {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, settings::kPolicyKey);
        RegDeleteTreeW(HKEY_CURRENT_USER, settings::kPolicyKey);
        RegDeleteTreeW(HKEY_CURRENT_USER, settings::kSettingsKey);
        RegDeleteTreeW(HKEY_CURRENT_USER, settings::kFollowStateKey);
    }
    static void Set(HKEY root, const wchar_t* name, const CMString& text) {
        RegSetKeyValueW(root, settings::kPolicyKey, name, REG_SZ, text.c_str(),
                        static_cast<DWORD>((text.GetLength() + 1) * sizeof(wchar_t)));
    }
    static void Set(HKEY root, const wchar_t* name, DWORD value) {
        RegSetKeyValueW(root, settings::kPolicyKey, name, REG_DWORD, &value, sizeof value);
    }
};

// The main window as the program opens it at start, with the book named.
std::unique_ptr<CPhoneBookDlg> StartProgram(const CMString& book, HWND& hwnd) {
    MainDialogStart start;
    start.currentPath = book;
    auto main = std::make_unique<CPhoneBookDlg>(start);
    hwnd = main->CreateModeless(nullptr, IDD_MAIN, IDD_MAIN_RTL);
    if (hwnd) ShowWindow(hwnd, SW_SHOW);
    return main;
}

// Pumps the window's messages until the condition holds; the longest the window went
// without its messages being handled, in milliseconds (-1: the condition never held).
long PumpAnswering(const std::function<bool()>& condition, int timeoutMs) {
    long longest = 0;
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    while (GetTickCount64() < end) {
        const ULONGLONG before = GetTickCount64();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        longest = std::max(longest, static_cast<long>(GetTickCount64() - before));
        if (condition()) return longest;
        Sleep(5);
    }
    return -1;
}

}  // namespace

// An administrator's policy names the directory and the managed group, and asks for a
// follow at start. The program starts with its book; with no key pressed the group
// follows the directory, the window answering all along, and the balloon tells what
// came. A user's own server does not count against the locked one.
TEST_F(Directory, TheBookFollowsThePolicysDirectoryAtStart) {
    PolicyScope scope;
    const CMString book = Book(L"follow.mpb2");
    PolicyScope::Set(HKEY_LOCAL_MACHINE, L"Server", server.Url(kLegal));
    PolicyScope::Set(HKEY_LOCAL_MACHINE, L"ServerLocked", 1);
    PolicyScope::Set(HKEY_CURRENT_USER, L"Group", CMString(L"Directory"));
    PolicyScope::Set(HKEY_CURRENT_USER, L"Sync", 1);
    PolicyScope::Set(HKEY_CURRENT_USER, L"FollowAtStart", 1);
    const CMString userServer = L"ldap://127.0.0.1:" + std::to_wstring(UnusedPort()) + L"/";
    RegSetKeyValueW(HKEY_CURRENT_USER, settings::kSettingsKey, L"Server", REG_SZ, userServer.c_str(),
                    static_cast<DWORD>((userServer.GetLength() + 1) * sizeof(wchar_t)));

    HWND hwnd = nullptr;
    auto main = StartProgram(book, hwnd);
    ASSERT_NE(hwnd, nullptr);
    const long longest =
        PumpAnswering([&] { return main->Follower() && !main->Follower()->LastNotice().IsEmpty(); }, 30000);
    ASSERT_GE(longest, 0) << "no follow landed";
    EXPECT_LT(longest, 1000);
    EXPECT_TRUE(main->Balloon().IsShown());
    EXPECT_EQ(main->Balloon().Text(), main->Follower()->LastNotice());
    EXPECT_NE(main->Balloon().Text().Find(L"40 added, 0 updated, 0 removed"), -1) << main->Balloon().Text().ToUtf8();
    // The list followed too: the hand-made entry and 40 fax numbers, and the group.
    EXPECT_EQ(main->List()->GetItemCount(), 42);
    DestroyWindow(hwnd);
    const std::vector<std::wstring> lines = Contents(book);
    EXPECT_TRUE(Has(lines, L"E|Hand Made|555||||0"));
    EXPECT_EQ(Members(GroupLine(lines, L"Directory")), 40);
    const settings::FollowRecord record = settings::ReadFollowRecord(book.str());
    EXPECT_TRUE(record.ok);
    EXPECT_EQ(record.added, 40u);
    EXPECT_NE(record.lastSeconds, 0u);
}

// A follow whose server is down changes nothing and says so once: the try at the next
// interval fails the same way and is not told again.
TEST_F(Directory, AFollowThatFailsChangesNothingAndSaysSoOnce) {
    PolicyScope scope;
    const CMString book = Book(L"down.mpb2");
    const std::vector<std::wstring> before = Contents(book);
    PolicyScope::Set(HKEY_CURRENT_USER, L"Server",
                     L"ldap://127.0.0.1:" + std::to_wstring(UnusedPort()) + L"/dc=example,dc=org");
    PolicyScope::Set(HKEY_CURRENT_USER, L"Group", CMString(L"Directory"));
    PolicyScope::Set(HKEY_CURRENT_USER, L"FollowHours", 4);

    HWND hwnd = nullptr;
    auto main = StartProgram(book, hwnd);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_GE(PumpAnswering([&] { return !main->Follower()->LastNotice().IsEmpty(); }, 30000), 0);
    EXPECT_TRUE(main->Balloon().IsShown());
    EXPECT_NE(main->Balloon().Text().Find(L"127.0.0.1"), -1) << main->Balloon().Text().ToUtf8();
    EXPECT_EQ(main->List()->GetItemCount(), 1);
    const settings::FollowRecord failed = settings::ReadFollowRecord(book.str());
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(failed.fault.empty());

    // The next interval: the record is made older than four hours, the timer fires.
    const_cast<NoticeBalloon&>(main->Balloon()).Hide();
    settings::FollowRecord older = failed;
    older.lastSeconds -= 5 * 3600;
    settings::WriteFollowRecord(book.str(), older);
    SendMessageW(hwnd, WM_TIMER, SourceFollower::kTimer, 0);
    EXPECT_TRUE(main->Follower()->Reading());
    ASSERT_GE(PumpAnswering([&] { return !main->Follower()->Reading(); }, 30000), 0);
    EXPECT_GT(settings::ReadFollowRecord(book.str()).lastSeconds, older.lastSeconds);
    harness::PumpUntilIdle();
    EXPECT_FALSE(main->Balloon().IsShown());
    DestroyWindow(hwnd);
    EXPECT_EQ(Contents(book), before);
}

// A scheduled task's follow: pbtool prints where each setting comes from and follows
// the book as the settings say; a login whose password nobody kept asks nothing and
// fails, the book unchanged.
TEST_F(Directory, PbtoolFollowsAsTheSettingsSay) {
    PolicyScope scope;
    const CMString book = Book(L"task.mpb2");
    PolicyScope::Set(HKEY_CURRENT_USER, L"Server", server.Url(kLegal));
    PolicyScope::Set(HKEY_CURRENT_USER, L"Group", CMString(L"Directory"));
    PolicyScope::Set(HKEY_CURRENT_USER, L"GroupLocked", 1);
    PolicyScope::Set(HKEY_CURRENT_USER, L"Sync", 1);
    const wchar_t mine[] = L"Mine";
    RegSetKeyValueW(HKEY_CURRENT_USER, settings::kSettingsKey, L"Group", REG_SZ, mine, sizeof mine);
    const ToolRun shown = Pbtool(folder, L"settings");
    ASSERT_EQ(shown.code, 0) << shown.err;
    EXPECT_TRUE(HasLine(shown.out, {"Server = ldap://127.0.0.1:", "(policy HKCU)"})) << shown.out;
    EXPECT_TRUE(HasLine(shown.out, {"Group = Directory", "(policy HKCU, locked)"})) << shown.out;
    EXPECT_TRUE(HasLine(shown.out, {"Update = 1", "(default)"})) << shown.out;

    const ToolRun followed = Pbtool(folder, L"follow " + Q(book));
    ASSERT_EQ(followed.code, 0) << followed.err;
    EXPECT_NE(followed.out.find("40 read, 40 added, 0 updated, 0 unchanged, 0 removed"), std::string::npos) << followed.out;
    const std::vector<std::wstring> lines = Contents(book);
    EXPECT_EQ(Members(GroupLine(lines, L"Directory")), 40);
    EXPECT_TRUE(settings::ReadFollowRecord(book.str()).ok);

    PolicyScope::Set(HKEY_CURRENT_USER, L"Login", 1);
    PolicyScope::Set(HKEY_CURRENT_USER, L"User", CMString(L"cn=reader,dc=example,dc=org"));
    const ToolRun login = Pbtool(folder, L"follow " + Q(book));
    EXPECT_EQ(login.code, 1);
    EXPECT_NE(login.err.find("no password is kept"), std::string::npos) << login.err;
    EXPECT_EQ(Contents(book), lines);
}

// The dialog with an administrator's settings: a locked value shows greyed whatever the
// user had, with the note that the administrator set it; an unlocked policy value is a
// default that the user's own replaces, and one the user never set shows as it is.
TEST(DirectoryDialog, ShowsWhatTheAdministratorSet) {
    PolicyScope scope;
    UniqueWindow window(CreateDialogParamW(app::Instance(), MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                                           [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; }, 0));
    CPhonebook model(window.Get());
    PolicyScope::Set(HKEY_LOCAL_MACHINE, L"Server", CMString(L"ldap://dir.example.org/o=Example"));
    PolicyScope::Set(HKEY_LOCAL_MACHINE, L"ServerLocked", 1);
    PolicyScope::Set(HKEY_CURRENT_USER, L"Group", CMString(L"Office"));
    PolicyScope::Set(HKEY_CURRENT_USER, L"Filter", CMString(L"(cn=a*)"));
    PolicyScope::Set(HKEY_CURRENT_USER, L"Update", 1);
    PolicyScope::Set(HKEY_CURRENT_USER, L"UpdateLocked", 1);
    const wchar_t mine[] = L"ldap://mine.example.org/", group[] = L"Mine";
    RegSetKeyValueW(HKEY_CURRENT_USER, settings::kSettingsKey, L"Server", REG_SZ, mine, sizeof mine);
    RegSetKeyValueW(HKEY_CURRENT_USER, settings::kSettingsKey, L"Group", REG_SZ, group, sizeof group);
    const DWORD no = 0;
    RegSetKeyValueW(HKEY_CURRENT_USER, settings::kSettingsKey, L"Update", REG_DWORD, &no, sizeof no);
    auto text = [](HWND d, int id) {
        std::wstring t(static_cast<size_t>(GetWindowTextLengthW(GetDlgItem(d, id))) + 1, L'\0');
        t.resize(static_cast<size_t>(GetDlgItemTextW(d, id, t.data(), static_cast<int>(t.size()))));
        return t;
    };
    entrytest::InDialog look([&](HWND d) {
        struct Row {
            int control;
            std::wstring shown;  // empty: a check box, checked
            bool enabled;
        } rows[] = {
            {IDC_DIR_SERVER, L"ldap://dir.example.org/o=Example", false},  // locked: the user's own is not shown
            {IDC_DIR_GROUP, L"Mine", true},                               // the user's own over a default
            {IDC_DIR_FILTER, L"(cn=a*)", true},                           // the default, the user having none
            {IDC_DIR_UPDATE, L"", false},                                 // locked on
        };
        for (const Row& r : rows) {
            SCOPED_TRACE(r.control);
            if (r.shown.empty()) EXPECT_TRUE(IsDlgButtonChecked(d, r.control));
            else EXPECT_EQ(text(d, r.control), r.shown);
            EXPECT_EQ(IsWindowEnabled(GetDlgItem(d, r.control)) != FALSE, r.enabled);
        }
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_SRV_KIND)));
        EXPECT_EQ(text(d, IDC_DIR_STATUS), app::Text(IDS_POLICY_LOCKED).str());
        // Ticking another box keeps the locked ones greyed.
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_DIR_SYNC, BN_CLICKED), 0);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_DIR_UPDATE)));
    });
    harness::ModalDriver driver;
    driver.Then(look.Start());
    CDirectoryDlg dialog(model);
    dialog.Run(window.Get());
    EXPECT_TRUE(look.Ran());
}
