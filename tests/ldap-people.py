#!/usr/bin/env python3
"""The test directory as LDIF on standard output: always the same people (a fixed seed),
so tests can name them.

    dc=example,dc=org
      cn=reader             person, userPassword readerpw (binds, reads)
      ou=People             3000 inetOrgPerson, uid=p0001 .. uid=p3000
      ou=Groups             groupOfNames "Fax Users" and "Management"

People: 2600 with a facsimileTelephoneNumber (50 of them with two, so 2650 fax
numbers), 400 without. departmentNumber on most; o, telephoneNumber and mail on some.
Names in Latin letters with accents, Greek, Cyrillic and Hebrew; every name (displayName,
or cn where displayName is missing) is unique and at most 31 UTF-16 units, as a book
keeps names.

Department Legal is p0001 .. p0040 and nobody else: 39 people with a fax, 40 fax
numbers. Among them:

    p0001  Anna Müller            +49 (0)30 1000-001   o Beispiel AG, mail, phone
    p0002  Γιώργος Παπαδόπουλος   +30 21 0100 0002
    p0003  Ольга Смирнова         +7 495 100-00-03
    p0004  דוד כהן                 +972 3-100-0004
    p0005  José Núñez             +34 91 100 00 05 and +34 91 100 00 06
    p0006  Zoë Lefèvre            no fax
    p0007  Søren Østergård        +45 33 10 00 07     (tests give him a new fax)
    p0008  Łukasz Wójcik          +48 22 100 00 08    (tests remove him)
    p0009  Ēriks Bērziņš          no displayName: the name is the cn

sn Müller: 54 people, 47 with a fax, 49 fax numbers (a filter in other letters).

The counts are checked at the end, so a change here that breaks them fails loudly.
"""
import base64
import random
import sys

SUFFIX = "dc=example,dc=org"
PEOPLE = "ou=People," + SUFFIX
GROUPS = "ou=Groups," + SUFFIX
COUNT = 3000
WITHOUT_FAX = 400
TWO_FAXES = 50
LEGAL_SIZE = 40

FIXED = {
    1: dict(given="Anna", sn="Müller", fax=["+49 (0)30 1000-001"], o="Beispiel AG",
            mail="anna.mueller@example.org", phone="+49 (0)30 1000-100"),
    2: dict(given="Γιώργος", sn="Παπαδόπουλος", fax=["+30 21 0100 0002"]),
    3: dict(given="Ольга", sn="Смирнова", fax=["+7 495 100-00-03"]),
    4: dict(given="דוד", sn="כהן", fax=["+972 3-100-0004"]),
    5: dict(given="José", sn="Núñez", fax=["+34 91 100 00 05", "+34 91 100 00 06"]),
    6: dict(given="Zoë", sn="Lefèvre", fax=[]),
    7: dict(given="Søren", sn="Østergård", fax=["+45 33 10 00 07"]),
    8: dict(given="Łukasz", sn="Wójcik", fax=["+48 22 100 00 08"]),
    9: dict(given="Ēriks", sn="Bērziņš", fax=["+371 6710 0009"], nodisplay=True),
}

LATIN_GIVEN = """Anna Ben Clara David Emma Felix Greta Hans Ida Jonas Karin Lukas Marie Noah
Olga Paul Rosa Simon Tanja Uwe Vera Werner Yvonne Zoran Agnès Benoît Céline Dörte
Élodie François Gösta Hélène Inès Jürgen Kåre Léa Mónica Nuño Ørjan Pál Renée Sébastien
Tomás Ülkü Václav Zoë Ágnes Björn Chloé Đorđe Adèle Bruno Carla Dario Edith Fiona
Gérard Heidi Ivo Jana Klaus Linnéa Mats Nadja Otto Petra Raúl Sanna Timo Ulla""".split()
LATIN_SN = """Müller Schmidt Schneider Fischer Weber Meyer Wagner Becker Schulz Hoffmann
Koch Bauer Richter Klein Wolf Schröder Neumann Schwarz Zimmermann Braun Krüger Hofmann
Hartmann Lange Schmitt Werner Krause Meier Lehmann Köhler Martín García Pérez Sánchez
Dubois Lefèvre Moreau Girard Rossi Ricci Nowak Kowalski Dvořák Horváth Jensen Ångström
Søndergaard Öztürk Çelik Ferreira""".split()
GREEK_GIVEN = """Γιώργος Νίκος Δημήτρης Κώστας Γιάννης Ελένη Μαρία Σοφία Κατερίνα Άννα
Αλέξανδρος Παναγιώτης""".split()
GREEK_SN = """Παπαδόπουλος Οικονόμου Γεωργίου Νικολάου Ιωάννου Παπανικολάου Αντωνίου
Βασιλείου Δημητρίου Καραγιάννης Μαυρίδης Χριστοδούλου""".split()
CYRILLIC_GIVEN = """Иван Ольга Сергей Наталья Дмитрий Елена Алексей Татьяна Михаил Анна
Андрей Ирина""".split()
CYRILLIC_SN = """Иванов Смирнов Кузнецов Попов Васильев Петров Соколов Михайлов Новиков
Фёдоров Морозов Волков""".split()
HEBREW_GIVEN = "דוד שרה יוסף רחל משה מרים אברהם לאה יעקב רבקה נועה אורי".split()
HEBREW_SN = "כהן לוי מזרחי פרץ ביטון דהן אברהם פרידמן אזולאי כץ שפירא גבאי".split()
SCRIPTS = [(LATIN_GIVEN, LATIN_SN, 70), (GREEK_GIVEN, GREEK_SN, 10),
           (CYRILLIC_GIVEN, CYRILLIC_SN, 10), (HEBREW_GIVEN, HEBREW_SN, 10)]

DEPARTMENTS = ["Sales", "Research", "Finance", "Support", "Logistics", "Marketing", "IT",
               "Purchasing", "HR", "Production", "Quality"]
ORGANIZATIONS = ["Beispiel AG", "Example Ltd", "Exemple SARL", "Ejemplo S.A.", "Παράδειγμα ΑΕ"]


def fax_number(rng, n):
    """A fax number in one of the forms people write them; n makes it unique."""
    a, b = divmod(n, 1000)
    forms = [
        lambda: f"+49 (0)30 {2000 + a}-{b:03d}",
        lambda: f"+49 89 {5000 + a}{b:03d}",
        lambda: f"030 {2000 + a} {b:03d}-9",
        lambda: f"+1 (212) 555-{a}{b:03d}",
        lambda: f"+44 20 7946 {a}{b:03d}",
        lambda: f"+33 1 {40 + a} {b // 10:02d} {b % 10}0 00",
        lambda: f"+43 1 {7000 + a}{b:03d}-20",
        lambda: f"+41.44.{600 + a}.{b:03d}",
        lambda: f"+30 21 0{5 + a}{b:03d} 99",
        lambda: f"+7 (495) {200 + a}-{b // 10:02d}-{b % 10}9",
        lambda: f"+972 3-{600 + a}-{b:03d}8",
        lambda: f"0049/40/{3000 + a}{b:03d}",
    ]
    return rng.choice(forms)()


def people():
    rng = random.Random(20261209)
    others = list(range(LEGAL_SIZE + 1, COUNT + 1))
    fixed_without = sum(1 for p in FIXED.values() if not p["fax"])
    fixed_two = sum(1 for p in FIXED.values() if len(p["fax"]) == 2)
    without = set(rng.sample(others, WITHOUT_FAX - fixed_without))
    with_fax = [i for i in others if i not in without]
    two = set(rng.sample(with_fax, TWO_FAXES - fixed_two))
    names = {(p["given"], p["sn"]) for p in FIXED.values()}
    # Names are drawn until unused: the pool must be well beyond the people's number.
    assert sum(len(g) * len(s) for g, s, _ in SCRIPTS) > 1.2 * COUNT
    serial = 0
    for i in range(1, COUNT + 1):
        if i in FIXED:
            p = dict(FIXED[i])
        else:
            while True:
                given, sn, _ = rng.choices(SCRIPTS, weights=[s[2] for s in SCRIPTS])[0]
                pair = (rng.choice(given), rng.choice(sn))
                if pair not in names:
                    break
            names.add(pair)
            p = dict(given=pair[0], sn=pair[1], fax=[])
            if i <= LEGAL_SIZE or i not in without:
                for _ in range(2 if i in two else 1):
                    serial += 1
                    p["fax"].append(fax_number(rng, serial))
            if rng.random() < 0.4:
                p["o"] = rng.choice(ORGANIZATIONS)
            if rng.random() < 0.5:
                p["phone"] = f"+49 30 {4000 + i // 1000} {i % 1000:03d}-0"
            if rng.random() < 0.3:
                p["mail"] = f"p{i:04d}@example.org"
            p["nodisplay"] = rng.random() < 0.1
        if i <= LEGAL_SIZE:
            p["department"] = "Legal"
        elif rng.random() < 0.9:
            p["department"] = rng.choice(DEPARTMENTS)
        p["uid"] = f"p{i:04d}"
        yield p


def line(attribute, value):
    # LDIF's plain form is ASCII that does not start with a space, colon or "<".
    if value.isascii() and value[:1] not in (" ", ":", "<"):
        return f"{attribute}: {value}\n"
    return f"{attribute}:: {base64.b64encode(value.encode()).decode()}\n"


def main():
    out = sys.stdout
    out.write(f"dn: {SUFFIX}\nobjectClass: dcObject\nobjectClass: organization\ndc: example\no: Example\n\n")
    out.write(f"dn: cn=reader,{SUFFIX}\nobjectClass: person\ncn: reader\nsn: reader\nuserPassword: readerpw\n\n")
    out.write(f"dn: {PEOPLE}\nobjectClass: organizationalUnit\nou: People\n\n")
    out.write(f"dn: {GROUPS}\nobjectClass: organizationalUnit\nou: Groups\n\n")
    counts = dict(people=0, fax=0, numbers=0, two=0, legal=0, legal_numbers=0, mueller=0, mueller_fax=0,
                  mueller_numbers=0)
    names = set()
    fax_users = []
    for p in people():
        name = f"{p['given']} {p['sn']}"
        assert len(name.encode("utf-16-le")) // 2 <= 31 and name not in names, name
        names.add(name)
        dn = f"uid={p['uid']},{PEOPLE}"
        out.write(f"dn: {dn}\nobjectClass: inetOrgPerson\n")
        out.write(line("uid", p["uid"]) + line("cn", name) + line("givenName", p["given"]) + line("sn", p["sn"]))
        if not p.get("nodisplay"):
            out.write(line("displayName", name))
        for f in p["fax"]:
            out.write(line("facsimileTelephoneNumber", f))
        for attribute, key in (("departmentNumber", "department"), ("o", "o"), ("telephoneNumber", "phone"),
                               ("mail", "mail")):
            if key in p:
                out.write(line(attribute, p[key]))
        out.write("\n")
        counts["people"] += 1
        counts["fax"] += bool(p["fax"])
        counts["numbers"] += len(p["fax"])
        counts["two"] += len(p["fax"]) == 2
        if p.get("department") == "Legal":
            counts["legal"] += bool(p["fax"])
            counts["legal_numbers"] += len(p["fax"])
        if p["sn"] == "Müller":
            counts["mueller"] += 1
            counts["mueller_fax"] += bool(p["fax"])
            counts["mueller_numbers"] += len(p["fax"])
        if p["fax"] and len(fax_users) < 20:
            fax_users.append(dn)
    for cn, members in (("Fax Users", fax_users), ("Management", fax_users[:3])):
        out.write(f"dn: cn={cn},{GROUPS}\nobjectClass: groupOfNames\ncn: {cn}\n")
        out.write("".join(f"member: {m}\n" for m in members) + "\n")
    expected = dict(people=COUNT, fax=COUNT - WITHOUT_FAX, numbers=COUNT - WITHOUT_FAX + TWO_FAXES, two=TWO_FAXES,
                    legal=39, legal_numbers=40, mueller=54, mueller_fax=47, mueller_numbers=49)
    assert counts == expected, counts


if __name__ == "__main__":
    main()
