#include <gtest/gtest.h>

#include "PrintCMString.h"

#include "app/core/CommandLine.h"

namespace {

TEST(CommandLine, ExtractOptionValue) {
    struct { const wchar_t* option; const wchar_t* line; const wchar_t* value; } cases[] = {
        {L"-f", L"", L""},
        {L"-f", L"-f \"C:\\Books\\a.mpb2\"", L"C:\\Books\\a.mpb2"},
        {L"-f", L"-f\"C:\\a.mpb2\"", L"C:\\a.mpb2"},
        {L"-f", L"-f \"   C:\\a b.mpb2  \"", L"C:\\a b.mpb2"},
        {L"-f", L"-f C:\\a.mpb2", L""},
        {L"-f", L"-f C:\\a.mpb2 -p \"D:\\p.pb\"", L"D:\\p.pb"},
        {L"-f", L"-f \"\"", L""},
        {L"-f", L"-f \"unclosed", L""},
        {L"-F", L"-f \"x\"", L""},
        // A plain substring search: "-t" inside the quoted path is found first.
        {L"-t", L"-f \"C:\\my-text\\a.pb\" -t \"1\"", L"-t"},
        {L"-p", L"-p \"\u05e9\u05dc\u05d5\u05dd.pb\"", L"\u05e9\u05dc\u05d5\u05dd.pb"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExtractOptionValue(c.option, c.line), CMString(c.value)) << CMString(c.line).ToUtf8();
}

TEST(CommandLine, OptionsDependOnPhonebookPath) {
    struct {
        const wchar_t* line;
        const wchar_t* path;
        bool lock, readOnly;
        const wchar_t* printer;
        const wchar_t* help;
    } cases[] = {
        {L"", L"", false, false, L"", L""},
        {L"-f \"a.pb\" -t \"yes\"", L"a.pb", true, false, L"", L""},
        {L"-f \"a.pb\" -t \"\"", L"a.pb", false, false, L"", L""},
        {L"-t \"yes\" -^ \"1\" -n \"P\" -h \"H\"", L"", false, false, L"", L""},
        {L"-f \"a.pb\" -^ \"1\" -n \" Fax \" -h \"http://h/%s\"", L"a.pb", false, true, L"Fax", L"http://h/%s"},
        // An unquoted path borrows the next quoted value, and the other options count again.
        {L"-f a.pb -t \"on\"", L"on", true, false, L"", L""},
    };
    for (const auto& c : cases) {
        CommandLineOptions o = ParseCommandLine(c.line);
        SCOPED_TRACE(CMString(c.line).ToUtf8());
        EXPECT_EQ(o.phonebookPath, CMString(c.path));
        EXPECT_EQ(o.lockFileCommands, c.lock);
        EXPECT_EQ(o.forceReadOnly, c.readOnly);
        EXPECT_EQ(o.printerName, CMString(c.printer));
        EXPECT_EQ(o.helpPath, CMString(c.help));
    }
}

}  // namespace
