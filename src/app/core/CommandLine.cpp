#include "app/core/CommandLine.h"

CMString ExtractOptionValue(const CMString& option, const CMString& commandLine) {
    int at = commandLine.Find(option.view());
    if (at < 0 || option.IsEmpty()) return {};
    CMString rest = commandLine.Mid(at + option.GetLength());
    int open = rest.Find(L'"');
    if (open < 0) return {};
    int close = rest.Find(L'"', open + 1);
    if (close < 0) return {};
    CMString value = rest.Mid(open + 1, close - open - 1);
    value.Trim();
    return value;
}

CommandLineOptions ParseCommandLine(const CMString& commandLine) {
    CommandLineOptions options;
    options.phonebookPath = ExtractOptionValue(L"-f", commandLine);
    options.personalPath = ExtractOptionValue(L"-p", commandLine);
    if (!options.phonebookPath.IsEmpty()) {
        options.lockFileCommands = !ExtractOptionValue(L"-t", commandLine).IsEmpty();
        options.forceReadOnly = !ExtractOptionValue(L"-^", commandLine).IsEmpty();
        options.printerName = ExtractOptionValue(L"-n", commandLine);
        options.helpPath = ExtractOptionValue(L"-h", commandLine);
    }
    return options;
}
