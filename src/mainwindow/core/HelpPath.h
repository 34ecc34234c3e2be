#pragma once
// The help location is a path or web address with one "%s" where the topic name goes.
#include <string>
#include <vector>

#include "util/CMString.h"

// The help path with the topic in place of its first "%s". The path comes from the
// command line or the registry, so it is never used as a printf format: "%%" reads
// as one "%", and any other "%" (a web address's "%20") stays as it stands.
CMString FormatHelpPath(const CMString& helpPath, const CMString& topic);

// Help on the web: the path holds "http:" (exact case) anywhere.
bool IsWebHelpPath(const CMString& helpPath);

// One help path serves every user of a machine, so it names the pages of one language
// (".\help\en-US\%s.html"). For a local file path whose nearest folder named after one
// of the shipped languages is not the language the program speaks, this is the same
// path with that folder replaced by the spoken one; otherwise (web and other addresses,
// no such folder, already that language, no language) it is empty. Whether the page
// exists there is the caller's to check. Folder names compare ignoring case.
CMString HelpTargetInLanguage(const CMString& target, const CMString& language,
                              const std::vector<std::wstring>& shippedLanguages);
