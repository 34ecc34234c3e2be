#include "SampleData.h"

#include <set>
#include <string>

namespace pbcore {

namespace {

const char16_t* const kFirst[] = {
    u"Anna", u"Jürgen", u"Zoë", u"Łukasz", u"Søren", u"José", u"François", u"Ægir", u"Ömer", u"Ярослав",
    u"Αλέξανδρος", u"Иван", u"María", u"Chloé", u"Mateusz", u"Björn", u"Noémie", u"Jan", u"Eva", u"Dmitri",
    u"Sakura", u"Liam", u"Olivia", u"Şebnem", u"Tomáš", u"Ingrid", u"Pieter", u"Aoife", u"Håkon", u"Giulia",
    u"Nguyễn", u"Rahel", u"Élodie", u"Karel", u"Yusuf", u"Małgorzata", u"Sven", u"Leïla", u"Ana", u"Markus"};
const char16_t* const kLast[] = {
    u"Berg", u"Müller", u"Nowak", u"Kowalczyk", u"Jørgensen", u"García", u"Dubois", u"Özdemir", u"Petrov",
    u"Παπαδόπουλος", u"Schmidt", u"Rossi", u"Novák", u"Lindqvist", u"de Vries", u"O'Brien", u"Smith",
    u"Fernández", u"Lefèvre", u"Wiśniewski", u"Kuznetsova", u"Yılmaz", u"Svensson", u"Bianchi", u"Horváth",
    u"Janssen", u"Murphy", u"Weiß", u"Costa", u"Tanaka", u"Andersen", u"Dvořák", u"Moreau", u"Kaya",
    u"Hoffmann", u"Sokolov", u"Nielsen", u"Marchetti", u"Brennan", u"Łęcki"};
const char16_t* const kOrg[] = {
    u"Acme Logistik GmbH", u"Nordlicht Versicherung AG", u"Café Müller & Söhne", u"Boulangerie Lefèvre",
    u"Praxis Dr. Weiß", u"Stadtwerke Süd", u"Kowalczyk Sp. z o.o.", u"Østergaard ApS", u"Rossi S.r.l.",
    u"", u"", u"Hospital São João", u"Dvořák Architekti", u"Brennan & Murphy Solicitors", u"Tanaka Trading",
    u"ООО «Северный ветер»", u"Kanzlei Hoffmann", u"Smith Plumbing Ltd", u"Zahnarztpraxis Özdemir", u""};
const char16_t* const kGroups[] = {
    u"Vertrieb", u"Familie", u"Équipe Paris", u"Kunden Nord", u"Лаборатория", u"Lieferanten",
    u"Board", u"Notfall", u"Ärzte", u"Presse", u"Handwerker", u"Vorstand", u"Clientes", u"Team Kraków"};
const char16_t* const kCountry[] = {u"+49", u"+33", u"+48", u"+45", u"+34", u"+1", u"+44", u"+90", u"+7", u"+39"};

struct Rng {
    uint32_t s;
    uint32_t Next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    uint32_t Below(uint32_t n) { return Next() % n; }
};

Units Digits(Rng& rng, int n) {
    Units out;
    for (int i = 0; i < n; ++i) out.push_back(static_cast<char16_t>(u'0' + rng.Below(10)));
    return out;
}

Units Number(Rng& rng) {
    switch (rng.Below(4)) {
        case 0: return Units(kCountry[rng.Below(10)]) + u" " + Digits(rng, 2) + u" " + Digits(rng, 7);
        case 1: return u"(" + Digits(rng, 3) + u") " + Digits(rng, 3) + u"-" + Digits(rng, 4);
        case 2: return u"0" + Digits(rng, 3) + u"-" + Digits(rng, 6);
        default: return Units(kCountry[rng.Below(10)]) + Digits(rng, 10);
    }
}

// A plain-letter form of a name for e-mail addresses.
Units Mailable(const Units& name) {
    Units out;
    for (char16_t c : name) {
        if (c >= u'A' && c <= u'Z') out.push_back(static_cast<char16_t>(c + 32));
        else if ((c >= u'a' && c <= u'z') || c == u'.') out.push_back(c);
        else if (c == u' ') out.push_back(u'.');
        else if (c >= 0xC0 && c <= 0xFF) {
            // Latin-1 letters without their marks.
            static constexpr char kPlain[] = "aaaaaaaceeeeiiiidnooooo.ouuuuytsaaaaaaaceeeeiiiidnooooo.ouuuuyty";
            char p = kPlain[c - 0xC0];
            if (p != '.') out.push_back(static_cast<char16_t>(p));
        } else if (c > 0xFF && c < 0x250)
            out.push_back(u'x');
    }
    return out.empty() ? Units(u"info") : out;
}

}  // namespace

Sample MakeSample(int entries, int groups, uint32_t seed) {
    Sample out;
    Rng rng{seed * 2654435761u + 12345u};
    std::set<std::u32string> names;
    for (int i = 0; i < entries; ++i) {
        Record r;
        r.kind = 1;
        Units name;
        for (int attempt = 0;; ++attempt) {
            name = Units(kFirst[rng.Below(40)]) + u" ";
            if (attempt > 0) name += static_cast<char16_t>(u'A' + rng.Below(26)), name += u". ";
            if (attempt > 3) name += Digits(rng, 2) + u" ";
            name += kLast[rng.Below(40)];
            if (name.size() > 31) name.resize(31);
            if (names.insert(Folded(name, false)).second) break;
        }
        r.fields[kName] = name;
        r.fields[kFax] = Number(rng);
        r.fields[kOrganization] = kOrg[rng.Below(20)];
        if (rng.Below(3) == 0) r.fields[kPhone] = Number(rng);
        if (rng.Below(2) == 0) {
            Units mail = Mailable(name) + u"@" + (rng.Below(2) ? u"example.org" : u"mail.example.com");
            if (mail.size() > 59) mail.resize(59);
            r.fields[kEmail] = mail;
        }
        if (rng.Below(4) == 0) {
            Units box = Digits(rng, 3);
            r.fields[kMailbox] = box;
        }
        out.entries.push_back(std::move(r));
    }
    for (int g = 0; g < groups; ++g) {
        SampleGroup group;
        group.name = kGroups[g % 14];
        if (g >= 14) group.name += u" " + std::u16string(1, static_cast<char16_t>(u'0' + (g / 14) % 10)) + Digits(rng, 3);
        int count = entries ? static_cast<int>(3 + rng.Below(10)) : 0;
        std::set<int> chosen;
        for (int k = 0; k < count && entries; ++k) chosen.insert(static_cast<int>(rng.Below(static_cast<uint32_t>(entries))));
        group.members.assign(chosen.begin(), chosen.end());
        out.groups.push_back(std::move(group));
    }
    return out;
}

}  // namespace pbcore
