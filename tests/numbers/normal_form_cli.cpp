// Reads "ISO<TAB>typed" lines (UTF-8) and prints each number's normal form on a line of
// its own, empty when it has none; an unknown ISO code means an unknown home country.
#include <iostream>
#include <string>

#include "numbers/core/FaxNumber.h"
#include "util/core/Utf.h"

int main() {
    std::ios::sync_with_stdio(false);
    std::string line;
    while (std::getline(std::cin, line)) {
        size_t tab = line.find('\t');
        std::wstring iso = mrv::Utf8ToWide(line.substr(0, tab));
        std::wstring typed = tab == std::string::npos ? std::wstring() : mrv::Utf8ToWide(line.substr(tab + 1));
        std::cout << mrv::WideToUtf8(faxnum::NormalForm(typed, faxnum::CountryByIso(iso))) << '\n';
    }
}
