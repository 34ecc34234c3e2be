#!/usr/bin/env python3
"""The test address book, a file per card (<uid>.vcf) in the folder given: always the same
cards (a fixed seed), so tests can name them. 2,480 cards in all (with the groups and an entry made by hand, as many as a book holds):

    c0001  Anna Müller       3.0, TEL;TYPE=FAX,WORK, ORG, EMAIL, CATEGORIES Legal and
                              "Sales, Berlin" (an escaped comma)
    c0002  Γιώργος Παπαδόπουλος  4.0, TEL;TYPE="fax,work"
    c0003  Ольга Смирнова    3.0 as a phone writes it: item1.TEL with a fax type
    c0004  José Núñez        two fax numbers
    c0005  Zoë Lefèvre       no fax
    c0006  Søren Østergård   a PHOTO of 40 KB (tests give him a new fax)
    c0007  Łukasz Wójcik     (tests remove him)
    c0008 .. c2480           Person NNNN, a fax each, category Staff; 3.0 and 4.0 by turns

So 2,479 cards have a fax, and they give 2,480 entries (each of José's two numbers is
one).
"""
import base64
import os
import random
import sys

COUNT = 2480
rng = random.Random(34)


def card(version, uid, fn, lines):
    head = ["BEGIN:VCARD", "VERSION:" + version, "UID:" + uid, "FN:" + fn]
    return "\r\n".join(head + lines + ["END:VCARD"]) + "\r\n"


def fold(line):
    out, rest = [], line
    while len(rest) > 74:
        out.append(rest[:74])
        rest = " " + rest[74:]
    out.append(rest)
    return "\r\n".join(out)


cards = [
    card("3.0", "c0001", "Anna Müller", ["N:Müller;Anna;;;", "ORG:Beispiel AG",
         "TEL;TYPE=FAX,WORK:+49 30 1000-001", "TEL;TYPE=VOICE:+49 30 1000-100",
         "EMAIL;TYPE=INTERNET:anna.mueller@example.org", "CATEGORIES:Legal,Sales\\, Berlin"]),
    card("4.0", "c0002", "Γιώργος Παπαδόπουλος", ["N:Παπαδόπουλος;Γιώργος;;;",
         'TEL;TYPE="fax,work":+30 21 0100 0002']),
    card("3.0", "c0003", "Ольга Смирнова", ["N:Смирнова;Ольга;;;", "item1.TEL;type=WORK;type=FAX:+7 495 100-00-03",
         "item1.X-ABLabel:_$!<WorkFAX>!$_"]),
    card("3.0", "c0004", "José Núñez", ["N:Núñez;José;;;", "TEL;TYPE=FAX:+34 91 100 00 05",
         "TEL;TYPE=FAX,HOME:+34 91 100 00 06"]),
    card("4.0", "c0005", "Zoë Lefèvre", ["N:Lefèvre;Zoë;;;", "TEL;TYPE=cell:+33 6 10 00 00 05"]),
    card("3.0", "c0006", "Søren Østergård", ["N:Østergård;Søren;;;", "TEL;TYPE=FAX:+45 33 10 00 07",
         fold("PHOTO;ENCODING=b;TYPE=JPEG:" + base64.b64encode(bytes(rng.getrandbits(8) for _ in range(30000))).decode())]),
    card("3.0", "c0007", "Łukasz Wójcik", ["N:Wójcik;Łukasz;;;", "TEL;TYPE=FAX:+48 22 100 00 08"]),
]
for n in range(8, COUNT + 1):
    version = "3.0" if n % 2 else "4.0"
    fax = "+49 89 %04d %03d" % (n, rng.randrange(1000))
    fax_type = "TEL;TYPE=FAX,WORK:" if version == "3.0" else 'TEL;TYPE="fax,work":'
    cards.append(card(version, "c%04d" % n, "Person %04d" % n,
                      ["N:%04d;Person;;;" % n, fax_type + fax, "CATEGORIES:Staff"]))
assert len(cards) == COUNT
folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
for text in cards:
    uid = text.split("UID:", 1)[1].split("\r\n", 1)[0]
    with open(os.path.join(folder, uid + ".vcf"), "wb") as f:
        f.write(text.encode("utf-8"))
