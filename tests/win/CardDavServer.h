#pragma once
// The Radicale server of ctest's carddav fixture (tests/carddav-server), as the tests that
// use it find it, and their fixture. Without a server (the main win_tests entry) every
// test of the fixture is skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "PbtoolRun.h"
#include "harness/TestEnvironment.h"

namespace carddavtest {

using namespace pbtooltest;

inline CMString WindowsPath(const std::string& unixPath) {
    CMString path = L"Z:" + CMString::FromUtf8(unixPath);
    path.Replace(L"/", L"\\");
    return path;
}

// The server of ctest's carddav fixture: its folder (a Unix path, for the script) and
// ports (Radicale, the one that cuts an answer short, the one that never answers).
struct Server {
    std::string folder;
    int radicale = 0, cut = 0, silent = 0;

    CMString Url(const wchar_t* path, int port = 0) const {
        return L"http://127.0.0.1:" + std::to_wstring(port ? port : radicale) + path;
    }
    // carddav-server put|delete|plant as alice; false when it failed.
    bool Change(const std::string& how, const std::string& path, const std::string& card = {}) const {
        const char* script = std::getenv("PBE_CARDDAV_SERVER");
        if (!script) return false;
        const std::string file = folder + "/change.vcf";
        if (!card.empty()) WriteText(WindowsPath(file), card);
        const CMString rc = WindowsPath(folder + "/done.rc");
        DeleteFileW(rc.c_str());
        CMString line = Q(WindowsPath(script)) + L" " + CMString::FromUtf8(how + " " + folder + " " + path) +
                        (card.empty() ? CMString() : L" " + CMString::FromUtf8(file));
        STARTUPINFOW si = {sizeof si};
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(nullptr, line.GetBuffer(line.GetLength() + 1), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &si, &pi))
            return false;
        // Wine gives no handle of a Unix process to wait on: the script leaves its exit
        // code in a file when it is done.
        if (pi.hProcess) CloseHandle(pi.hProcess);
        if (pi.hThread) CloseHandle(pi.hThread);
        for (int waited = 0; waited < 60000; waited += 50) {
            if (GetFileAttributesW(rc.c_str()) != INVALID_FILE_ATTRIBUTES) return ReadAll(rc).rfind("0\n", 0) == 0;
            Sleep(50);
        }
        return false;
    }
};

inline std::string Card(const char* uid, const char* name, const char* fax) {
    return std::string("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:") + uid + "\r\nFN:" + name + "\r\nTEL;TYPE=FAX:" + fax +
           "\r\nEND:VCARD\r\n";
}

class CardDav : public testing::Test {
protected:
    void SetUp() override {
        const char* dir = std::getenv("PBE_CARDDAV_DIR");
        if (!dir || !*dir) GTEST_SKIP() << "no CardDAV server: ctest's carddav_tests entry starts one";
        server.folder = dir;
        const std::string ports = ReadAll(WindowsPath(server.folder + "/ports"));
        ASSERT_EQ(sscanf(ports.c_str(), "%d %d %d", &server.radicale, &server.cut, &server.silent), 3);
        password = folder.File(L"alice.pw");
        WriteText(password, "secret\n");
        // Radicale answers a first listing of 2,480 cards slowly on a busy machine.
        login = L"--user alice --password-file " + Q(password) + L" --timeout 120";
    }

    // A new book with a hand-made entry.
    CMString Book(const wchar_t* name) {
        const CMString book = folder.File(name), csv = folder.File(L"hand.csv");
        WriteText(csv, "Hand Made,555\r\n");
        EXPECT_EQ(Pbtool(folder, L"create " + Q(book)).code, 0);
        EXPECT_EQ(Pbtool(folder, L"import " + Q(book) + L" " + Q(csv)).code, 0);
        return book;
    }

    Server server;
    testenv::TempFolder folder;
    CMString password, login;
};

}  // namespace carddavtest
