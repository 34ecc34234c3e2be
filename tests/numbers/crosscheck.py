#!/usr/bin/env python3
"""Fax number normal forms against an independent reading (Debian's python3-phonenumbers).

Generates numbers of many countries in many written styles, home countries mixed in,
and requires normal_form_cli and the library to agree on every number both read as a
full number. Usage: crosscheck.py path/to/normal_form_cli
Exits 77 (skipped) when the phonenumbers module is missing.
"""
import os
import random
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "numbers", "core"))

try:
    import phonenumbers
    from phonenumbers import PhoneNumberFormat, PhoneNumberType
except ImportError:
    print("phonenumbers is not installed: skipped")
    sys.exit(77)

from make_countries import strings_of  # noqa: E402 (the library's patterns written out)

COUNTRIES = sorted(phonenumbers.SUPPORTED_REGIONS)
TYPES = (PhoneNumberType.FIXED_LINE, PhoneNumberType.MOBILE, PhoneNumberType.TOLL_FREE)
SEPARATORS = (" ", " ", "-", ".", "/", "")
COUNT = 10000


def metadata(region):
    return phonenumbers.PhoneMetadata.metadata_for_region(region)


PREFIXES = {}


def international_prefixes(region):
    """Every prefix the library accepts for dialling abroad from region (it keeps a
    pattern: Thailand's 00[1-9], Brazil's carriers' 0014, 0021, ...)."""
    if region not in PREFIXES:
        m = metadata(region)
        PREFIXES[region] = sorted(strings_of(m.international_prefix)) if m and m.international_prefix else []
    return PREFIXES[region]


def samples(region):
    """National significant numbers of a country: its examples with the tail varied."""
    found = []
    for t in TYPES:
        example = phonenumbers.example_number_for_type(region, t)
        if example is not None:
            found.append(phonenumbers.national_significant_number(example))
    return found


def grouped(rng, digits):
    parts, i = [], 0
    while i < len(digits):
        n = rng.randint(2, 4)
        parts.append(digits[i:i + n])
        i += n
    sep = rng.choice(SEPARATORS)
    if len(parts) > 2 and rng.random() < 0.3:
        return "(%s) %s" % (parts[0], sep.join(parts[1:]))
    return sep.join(parts)


def render(rng, home, region, nsn):
    cc = str(phonenumbers.country_code_for_region(region))
    trunk = metadata(region).national_prefix or ""
    styles = ["plus", "plus_tight", "idd_00"]
    if trunk == "0":
        styles.append("plus_bracket_zero")
    if international_prefixes(home):
        styles += ["idd_home", "idd_home"]
    if home == region:
        styles += ["national", "national", "national_library"]
        if cc in ("1", "7"):
            styles.append("national_bare")
    style = rng.choice(styles)
    if style == "plus":
        return "+%s %s" % (cc, grouped(rng, nsn))
    if style == "plus_tight":
        return "+" + cc + nsn
    if style == "plus_bracket_zero":
        return "+%s %s %s" % (cc, rng.choice(("(0)", "(0) ", "( 0 )")), grouped(rng, nsn))
    if style == "idd_00":
        return "00 %s %s" % (cc, grouped(rng, nsn))
    if style == "idd_home":
        return "%s %s %s" % (rng.choice(international_prefixes(home)), cc, grouped(rng, nsn))
    if style == "national_library":  # the library's own national layout (Belarus: 8 0xx)
        parsed = phonenumbers.parse("+" + cc + nsn, None)
        return phonenumbers.format_number(parsed, PhoneNumberFormat.NATIONAL)
    if style == "national_bare":
        return grouped(rng, nsn)
    return grouped(rng, trunk + nsn)


def main():
    rng = random.Random(20240517)
    pool = {r: samples(r) for r in COUNTRIES}
    lines = []
    for _ in range(COUNT):
        region = rng.choice(COUNTRIES)
        home = region if rng.random() < 0.4 else rng.choice(COUNTRIES + ["ZZ"])
        nsn = list(rng.choice(pool[region]))
        for i in range(max(len(nsn) - 4, 2), len(nsn)):
            nsn[i] = str(rng.randint(0, 9))
        lines.append((home, render(rng, home, region, "".join(nsn))))
    # Every prefix each country dials abroad with, at least once.
    for home in COUNTRIES:
        for prefix in international_prefixes(home):
            region = rng.choice(COUNTRIES)
            if pool[region]:
                nsn = rng.choice(pool[region])
                cc = phonenumbers.country_code_for_region(region)
                lines.append((home, "%s %d %s" % (prefix, cc, grouped(rng, nsn))))

    run = subprocess.run([sys.argv[1]], input="".join("%s\t%s\n" % l for l in lines),
                         capture_output=True, text=True, check=True)
    ours = run.stdout.split("\n")[:len(lines)]

    both = agreed = library_only = ours_only = 0
    wrong = []
    for (home, typed), mine in zip(lines, ours):
        try:
            parsed = phonenumbers.parse(typed, None if home == "ZZ" else home)
            theirs = phonenumbers.format_number(parsed, PhoneNumberFormat.E164) \
                if phonenumbers.is_valid_number(parsed) else ""
        except phonenumbers.NumberParseException:
            theirs = ""
        full = mine.startswith("+")
        if theirs and full:
            both += 1
            if theirs == mine:
                agreed += 1
            else:
                wrong.append("%s %r: ours %s, library %s" % (home, typed, mine, theirs))
        elif theirs:
            library_only += 1
            if os.environ.get("CROSSCHECK_VERBOSE"):
                print("  library alone: %s %r -> %s (ours %r)" % (home, typed, theirs, mine))
        elif full:
            ours_only += 1
    print("generated %d, both valid %d, agreed %d (library alone %d, ours alone %d)"
          % (len(lines), both, agreed, library_only, ours_only))
    for w in wrong[:15]:
        print("  " + w)
    if wrong:
        sys.exit(1)
    if both < len(lines) // 2:
        sys.exit("too few numbers both read: the generator no longer makes valid ones")


main()
