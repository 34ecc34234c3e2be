#pragma once
// The six command-line options and how their values are found.
#include "util/CMString.h"

// The value of an option: the text between the first pair of double quotes after the
// first occurrence of the option text anywhere in the command line, trimmed. Empty
// when the option or either quote is missing. A plain substring search, so an option
// text inside an earlier quoted path is found there first.
CMString ExtractOptionValue(const CMString& option, const CMString& commandLine);

struct CommandLineOptions {
    CMString phonebookPath;   // -f
    CMString personalPath;    // -p
    bool lockFileCommands = false;  // -t
    bool forceReadOnly = false;     // -^
    CMString printerName;     // -n
    CMString helpPath;        // -h
};

// Reads the options in their order; "-t", "-^", "-n" and "-h" only count when "-f"
// names a phone book. The registry fall-back for the help path is the caller's.
CommandLineOptions ParseCommandLine(const CMString& commandLine);
