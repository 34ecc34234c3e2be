#pragma once
#include <windows.h>

// The whole program: options, language, hidden window, main dialog, message loop.
// Always returns 0.
int RunApplication(HINSTANCE instance, const wchar_t* commandLine);

// The help path of the options, or the registry's when the options leave it blank.
class CMString;
struct CommandLineOptions;
CMString ResolveHelpPath(const CommandLineOptions& options);
