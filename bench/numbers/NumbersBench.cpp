// Prints the time to find the normal form of one fax number, over a mix of written
// styles and home countries as a book filled from many sources holds them.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "numbers/core/FaxNumber.h"

int main() {
    struct Sample { const wchar_t* home; const wchar_t* typed; };
    const Sample samples[] = {
        {L"DE", L"+49 (0)30 1234-567"}, {L"DE", L"0049 30 1234567"}, {L"DE", L"030/1234567"},
        {L"DE", L"+49301234567"}, {L"US", L"(212) 555-1234"}, {L"US", L"011 44 20 7946 0000"},
        {L"RU", L"8 (495) 123-45-67"}, {L"HU", L"06 1 234 5678"}, {L"IT", L"06 1234 5678"},
        {L"AU", L"0011 49 30 1234567"}, {L"GB", L"+44 (0)20 7946 0000"}, {L"DE", L"*55"},
        {L"JP", L"03-1234-5678"}, {L"FR", L"01 23 45 67 89"}, {L"DE", L"030 FAX 1234"},
        {L"SG", L"001 49 30 1234567"},
    };
    std::vector<std::pair<const faxnum::Country*, std::wstring>> work;
    for (const Sample& s : samples)
        work.emplace_back(faxnum::CountryByIso(s.home), s.typed);

    const size_t rounds = 200000;
    size_t total = 0;
    auto start = std::chrono::steady_clock::now();
    for (size_t r = 0; r < rounds; ++r)
        for (const auto& [home, typed] : work)
            total += faxnum::NormalForm(typed, home).size();
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    size_t count = rounds * work.size();
    printf("normal form: %zu numbers in %.3f s, %.0f ns per number (checksum %zu)\n", count, took.count(),
           took.count() * 1e9 / static_cast<double>(count), total);
}
