// Converting older phone books through the real engine, and the question that offers it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "PrintCMString.h"
#include "app/AppGlobals.h"
#include "data/CPhonebook.h"
#include "harness/GuiHarness.h"
#include "harness/TestEnvironment.h"
#include "mainwindow/ListViewUIControl.h"
#include "mainwindow/PhoneBookDlg.h"
#include "resources/resource.h"

namespace {

struct Owner {
    Owner() { hwnd = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr); }
    ~Owner() { DestroyWindow(hwnd); }
    HWND hwnd;
};

std::string Bytes(const CMString& path) {
    std::string data;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return data;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) data.append(buffer, read);
    CloseHandle(file);
    return data;
}

bool Exists(const CMString& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Everything a book holds, read through the engine: one line per entry with every
// field, one per group with its members' names, sorted so that ids and order do not count.
std::vector<std::wstring> Contents(const CMString& path) {
    PhonebookDB db;
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    std::vector<std::wstring> lines;
    if (!db.Open(path, 0, 1)) return lines;
    RecordList records;
    db.SetSearchText(CMString());
    db.Enumerate(records, true);
    for (const auto& r : records) {
        if (!r->IsGroup()) {
            lines.push_back(std::wstring(L"E|") + r->name + L"|" + r->fax + L"|" + r->organization + L"|" + r->phone +
                            L"|" + r->email + L"|" + std::to_wstring(r->mailbox));
            continue;
        }
        std::vector<std::wstring> members;
        RecordList list;
        if (db.ReadRecordById(r->id)) db.ListGroupMembers(list);
        for (const auto& m : list) members.push_back(std::wstring(m->name) + L"/" + m->fax);
        std::sort(members.begin(), members.end());
        std::wstring line = std::wstring(L"G|") + r->name;
        for (const auto& m : members) line += L"|" + m;
        lines.push_back(line);
    }
    db.Close();
    std::sort(lines.begin(), lines.end());
    return lines;
}

void AddRecords(const CMString& path, std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> records) {
    PhonebookDB db;
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    ASSERT_TRUE(db.Open(path, 0, 0));
    for (const auto& e : records) {
        RecordPtr r = MakeRecord();
        CopyField(r->name, e.first);
        CopyField(r->fax, e.second);
        if (!*e.second) r->imageId = PhonebookRecord::kImageGroup;
        EngineRecord er = db.NewEngineRecord();
        db.ToEngineRecord(*r, er);
        ASSERT_EQ(db.AddRecord(er, false), 0) << CMString(e.first).ToUtf8();
    }
    db.Close();
}

class Conversion : public testing::Test {
protected:
    void SetUp() override { testenv::UseLanguage(L"en-US"); }
    CMString Sample(const wchar_t* name, int entries, int groups) {
        CMString path = folder.File(name);
        // A fresh one each time: a book that is there is replaced.
        EXPECT_EQ(testenv::RunPbtool(CMString::Formatted(L"sample \"%s\" --entries %d --groups %d --replace", path.c_str(),
                                                         entries, groups)),
                  0);
        return path;
    }
    bool Convert(const CMString& path) {
        model = std::make_unique<CPhonebook>(owner.hwnd);
        return model->ConvertFile(path);
    }

    testenv::TempFolder folder;
    Owner owner;
    std::unique_ptr<CPhonebook> model;
};

TEST_F(Conversion, CopiesEveryEntryGroupAndMemberAndOpensTheCopy) {
    struct Case {
        const wchar_t* name;
        int entries;
        int groups;
    } cases[] = {{L"full.pb", 980, 20}, {L"wide.mpb", 150, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(CMString(c.name).ToUtf8());
        CMString old = Sample(c.name, c.entries, c.groups);
        const std::string before = Bytes(old);
        const std::vector<std::wstring> expected = Contents(old);
        ASSERT_EQ(expected.size(), static_cast<size_t>(c.entries + c.groups));

        ASSERT_TRUE(Convert(old));
        CMString twin = CurrentFormatName(old);
        EXPECT_EQ(model->Database().GetPath(), twin);
        EXPECT_TRUE(model->Database().IsCurrentFormat());
        EXPECT_FALSE(model->Database().IsReadOnly());
        EXPECT_EQ(model->Database().Capacity(), 2500);
        model->CloseFile();
        EXPECT_EQ(Contents(twin), expected);
        EXPECT_EQ(Bytes(old), before);
    }
}

TEST_F(Conversion, BooksThatDoNotQualifyAreLeftAlone) {
    CMString current = Sample(L"current.mpb2", 5, 1);
    CMString locked = Sample(L"locked.mpb", 5, 1);
    SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    // An older book under the current extension would be its own target.
    CMString named = folder.File(L"older.mpb2");
    ASSERT_TRUE(MoveFileW(Sample(L"older.mpb", 5, 1).c_str(), named.c_str()));
    for (const CMString& path : {current, locked, named}) {
        SCOPED_TRACE(path.ToUtf8());
        const std::string before = Bytes(path);
        harness::ModalDriver driver;
        EXPECT_FALSE(Convert(path));
        EXPECT_TRUE(driver.Seen().empty());
        EXPECT_FALSE(model->HasOpenFile());
        EXPECT_EQ(Bytes(path), before);
    }
    EXPECT_FALSE(Exists(CurrentFormatName(locked)));
    SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Conversion, AnExistingTargetIsReplacedOnlyAfterOk) {
    struct Case {
        bool readOnly;
        int answer;
        bool converted;
        int text;
    } cases[] = {{false, IDOK, true, IDS_TARGET_REPLACE},
                 {false, IDCANCEL, false, IDS_TARGET_REPLACE},
                 {true, IDOK, false, IDS_TARGET_READONLY}};
    CMString old = Sample(L"old.mpb", 12, 2);
    CMString target = CurrentFormatName(old);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        Sample(L"old.mpb2", 3, 0);
        const std::string before = Bytes(target);
        if (c.readOnly) SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
        harness::ModalDriver driver;
        driver.ThenPress(c.answer);
        EXPECT_EQ(Convert(old), c.converted);
        ASSERT_EQ(driver.Seen().size(), 1u);
        EXPECT_EQ(driver.Seen()[0].caption, app::Text(IDS_CONVERT_CAPTION));
        EXPECT_NE(driver.Seen()[0].text.Find(app::Text(c.text).c_str()), -1);
        if (c.converted) {
            model->CloseFile();
            EXPECT_EQ(Contents(target), Contents(old));
        } else {
            EXPECT_EQ(Bytes(target), before);
        }
    }
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Conversion, APathWithoutADotTargetsMpb2InTheCurrentFolder) {
    CMString old = Sample(L"old.mpb", 3, 1);
    ASSERT_TRUE(MoveFileW(old.c_str(), folder.File(L"oldbook").c_str()));
    wchar_t saved[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.Path().c_str()));
    bool converted = Convert(L"oldbook");
    model.reset();
    SetCurrentDirectoryW(saved);
    EXPECT_TRUE(converted);
    EXPECT_EQ(Contents(folder.File(L"mpb2")), Contents(folder.File(L"oldbook")));
}

// Two groups whose names differ only in brackets meet as one name in the new file: the
// second cannot be made. The half-copied file must not stay behind as the twin, and a
// target the user agreed to replace stays as it was.
TEST_F(Conversion, AFailurePartWayLeavesTheTargetAsItWas) {
    CMString old = folder.File(L"clash.mpb");
    ASSERT_TRUE(testenv::MakeBook(old, L"mpb"));
    AddRecords(old, {{L"Anna", L"1"}, {L"Sales", L""}, {L"Sal[es]", L""}});
    const std::string before = Bytes(old);
    const CMString target = CurrentFormatName(old);
    for (bool targetExists : {false, true}) {
        SCOPED_TRACE(targetExists);
        if (targetExists) Sample(L"clash.mpb2", 3, 1);
        const std::string targetBefore = Bytes(target);
        harness::ModalDriver driver;
        driver.ThenPress(IDOK);
        EXPECT_FALSE(Convert(old));
        EXPECT_EQ(driver.Seen().size(), targetExists ? 1u : 0u);
        EXPECT_EQ(Exists(target), targetExists);
        EXPECT_EQ(Bytes(target), targetBefore);
        EXPECT_FALSE(Exists(target + L".converting"));
        EXPECT_FALSE(model->HasOpenFile());
        EXPECT_EQ(Bytes(old), before);
    }
}

// The offer as the main window shows it when an older book is opened for writing.
class ConversionOffer : public Conversion {
protected:
    void TearDown() override {
        if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
        dialog.reset();
        testenv::UseLanguage(L"en-US");
    }
    void OpenMain() {
        dialog = std::make_unique<CPhoneBookDlg>(MainDialogStart{});
        hwnd = dialog->CreateModeless(owner.hwnd, IDD_MAIN, IDD_MAIN_RTL);
        ASSERT_NE(hwnd, nullptr);
        harness::PumpUntilIdle();
    }

    std::unique_ptr<CPhoneBookDlg> dialog;
    HWND hwnd = nullptr;
};

// Posts a sequence of commands to the offer; only Yes and No may end it.
harness::ModalDriver::Step Post(std::vector<std::pair<UINT, WPARAM>> messages) {
    return [messages](const harness::SeenWindow& seen) {
        for (const auto& m : messages) PostMessageW(seen.window, m.first, m.second, 0);
    };
}

TEST_F(ConversionOffer, OnlyYesAndNoAnswerIt) {
    const std::pair<UINT, WPARAM> yes{WM_COMMAND, IDYES}, no{WM_COMMAND, IDNO}, esc{WM_COMMAND, IDCANCEL},
        close{WM_CLOSE, 0}, help{WM_COMMAND, IDC_HELP_BUTTON};
    struct Case {
        const wchar_t* name;
        std::vector<std::pair<UINT, WPARAM>> messages;
        bool converted;
    } cases[] = {
        {L"yes", {yes}, true},
        {L"no", {no}, false},
        {L"esc and close box, then yes", {esc, close, yes}, true},
        {L"help, then yes", {help, yes}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CMString(c.name).ToUtf8());
        testenv::TempFolder scratch;
        CMString old = scratch.File(L"old.pb");
        ASSERT_EQ(testenv::RunPbtool(CMString::Formatted(L"sample \"%s\" --entries 8 --groups 2", old.c_str())), 0);
        OpenMain();
        harness::ModalDriver driver;
        driver.Then(Post(c.messages));
        EXPECT_TRUE(dialog->OpenPhoneBookFile(old));
        ASSERT_GE(driver.Seen().size(), 1u);
        const harness::SeenWindow& offer = driver.Seen()[0];
        EXPECT_EQ(offer.caption, app::Text(IDS_CONVERT_CAPTION));
        EXPECT_NE(offer.text.Find(app::Text(IDS_CONVERT_INTRO).c_str()), -1);
        EXPECT_NE(offer.text.Find(app::Text(IDS_CONVERT_QUESTION).c_str()), -1);
        EXPECT_EQ(offer.style & WS_SYSMENU, 0);
        CMString twin = CurrentFormatName(old);
        EXPECT_EQ(Exists(twin), c.converted);
        EXPECT_EQ(dialog->CurrentPath(), c.converted ? twin : old);
        EXPECT_EQ(dialog->Model()->Database().IsCurrentFormat(), c.converted);
        EXPECT_EQ(dialog->List()->GetItemCount(), 10);
        EXPECT_TRUE(dialog->IsEditable());
        TearDown();
    }
}

TEST_F(ConversionOffer, AFailedConversionListsThePreviousBookAgain) {
    CMString previous = Sample(L"previous.mpb2", 6, 0);
    CMString old = folder.File(L"clash.mpb");
    ASSERT_TRUE(testenv::MakeBook(old, L"mpb"));
    AddRecords(old, {{L"Anna", L"1"}, {L"Sales", L""}, {L"Sal[es]", L""}});
    MainDialogStart start;
    start.currentPath = previous;
    dialog = std::make_unique<CPhoneBookDlg>(start);
    hwnd = dialog->CreateModeless(owner.hwnd, IDD_MAIN, IDD_MAIN_RTL);
    ASSERT_NE(hwnd, nullptr);
    harness::PumpUntilIdle();
    harness::ModalDriver driver;
    driver.ThenPress(IDYES);
    EXPECT_FALSE(dialog->OpenPhoneBookFile(old));
    EXPECT_EQ(driver.Seen().size(), 1u);
    EXPECT_FALSE(Exists(CurrentFormatName(old)));
    EXPECT_EQ(dialog->CurrentPath(), previous);
    EXPECT_TRUE(dialog->Model()->HasOpenFile());
    EXPECT_EQ(dialog->List()->GetItemCount(), 6);
}

// A file that opens only for reading cannot be converted: asking would promise what Yes
// cannot do.
TEST_F(ConversionOffer, AnOlderBookThatOpensReadOnlyIsNotOffered) {
    CMString old = Sample(L"locked.mpb", 3, 0);
    SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_READONLY);
    OpenMain();
    harness::ModalDriver driver;
    EXPECT_TRUE(dialog->OpenPhoneBookFile(old));
    SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(driver.Seen().empty());
    EXPECT_EQ(dialog->CurrentPath(), old);
    EXPECT_FALSE(dialog->IsEditable());
    EXPECT_EQ(dialog->List()->GetItemCount(), 3);
}

TEST_F(ConversionOffer, ButtonsCarryTheirTextsInEitherDirection) {
    for (const wchar_t* language : {L"en-US", L"he-IL"}) {
        SCOPED_TRACE(CMString(language).ToUtf8());
        ASSERT_TRUE(testenv::UseLanguage(language));
        testenv::TempFolder scratch;
        CMString old = scratch.File(L"old.mpb");
        ASSERT_TRUE(testenv::MakeBook(old, L"mpb"));
        OpenMain();
        harness::ModalDriver driver;
        driver.ThenPress(IDNO);
        EXPECT_TRUE(dialog->OpenPhoneBookFile(old));
        ASSERT_EQ(driver.Seen().size(), 1u);
        const harness::SeenWindow& offer = driver.Seen()[0];
        EXPECT_EQ((offer.exStyle & WS_EX_LAYOUTRTL) != 0, std::wstring(language) == L"he-IL");
        std::vector<std::pair<int, CMString>> expected = {{IDYES, app::Text(IDS_YES)}, {IDNO, app::Text(IDS_NO)}};
        for (const auto& button : expected) {
            auto found = std::find_if(offer.buttons.begin(), offer.buttons.end(),
                                      [&](const std::pair<int, CMString>& b) { return b.first == button.first; });
            ASSERT_NE(found, offer.buttons.end());
            EXPECT_EQ(found->second, button.second);
        }
        TearDown();
    }
}

}  // namespace
