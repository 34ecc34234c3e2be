#pragma once
// pbtool's output: UTF-8 on both streams, results on standard output, messages and
// progress on standard error, and the exit codes scripts test.
#include <cstdio>
#include <string>

namespace pbtool {

enum Exit {
    kExitOk = 0,
    kExitFailed = 1,
    kExitUsage = 2,
    kExitUnsound = 3,
    // Never leaves pbtool: another program was changing the book, nothing was changed,
    // and the job may be tried again (--wait), else it ends as kExitFailed.
    kExitBusy = 75,
};

void Out(FILE* f, const std::wstring& text);
// One line on standard output.
void Say(const std::wstring& text);
// One line "pbtool: text" on standard error; returns the exit code.
int Fail(int exitCode, const std::wstring& text);

// Tells on standard error how far a long job is, in steps of a tenth, once it is long
// enough to be worth watching.
class Progress {
public:
    Progress(std::wstring what, unsigned long long worthFrom) : m_what(std::move(what)), m_worthFrom(worthFrom) {}
    void operator()(unsigned long long done, unsigned long long total);

private:
    std::wstring m_what;
    unsigned long long m_worthFrom;
    int m_shown = -1;
};

}  // namespace pbtool
