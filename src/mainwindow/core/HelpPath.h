#pragma once
// The help location is a path or web address with one "%s" where the topic name goes.
#include "util/CMString.h"

// The help path with the topic in place of its first "%s". The path comes from the
// command line or the registry, so it is never used as a printf format: "%%" reads
// as one "%", and any other "%" (a web address's "%20") stays as it stands.
CMString FormatHelpPath(const CMString& helpPath, const CMString& topic);

// Help on the web: the path holds "http:" (exact case) anywhere.
bool IsWebHelpPath(const CMString& helpPath);
