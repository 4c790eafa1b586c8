#!/usr/bin/env python3
"""Writes a vCard 3.0 export of N invented people, shaped like a phone's or address book's export.

    gen_vcards.py --count 300k [--seed 1] --out FILE

UTF-8, CR LF, lines folded at 75 bytes as vCard 3.0 asks (a fold may fall inside a UTF-8
character). Every card has N and FN, two TEL, an ADR and a NOTE, most an ORG and an EMAIL; some
names lie outside Windows-1252, some values carry escapes. Names and numbers come from the pools of
gen_contacts.py, so the same people turn up at the same companies. The same seed gives the same
bytes.
"""
import argparse
import os
import random

import gen_contacts as g

# Letters outside Windows-1252 as well, which the import turns into their nearest 1252 letter
# or "?".
FIRST = g.FIRST_F + g.FIRST_M + ["Małgorzata", "Dženan", "Ayşe", "Łukasz", "Zoë", "Nikoláš"]
LAST = g.LAST + ["Yıldız", "Dvořák", "Wiśniewska", "Kovačević", "Þórsdóttir"]
TEL_TYPES = ["TYPE=WORK,VOICE", "TYPE=CELL", "TYPE=HOME,VOICE", "TYPE=WORK,FAX", "TYPE=VOICE"]
NOTES = [
    "Rückruf erbeten\\, am besten vormittags",
    "Kennt uns von der Messe in Köln\\nwill ein Angebot bis Ende des Monats",
    "Durchwahl ab 14 Uhr\\, sonst Zentrale\\; Fax nur für Aufträge",
    "Geburtstagskarte nicht vergessen!",
    "Neue Adresse ab 1.4.\\, alte noch gültig",
    "Zahlt immer pünktlich\\; Skonto 2 %",
    "Ansprechpartner für Störungen\\nauch am Wochenende: Bereitschaft über die Zentrale erreichbar",
]


def escaped(text):
    return text.replace("\\", "\\\\").replace(",", "\\,").replace(";", "\\;")


def folded(line):
    """The line in UTF-8, cut into pieces of at most 75 bytes, each after the first led by a
    blank; cuts fall between bytes, also inside a character."""
    data = line.encode("utf-8")
    pieces = [data[:75]]
    for i in range(75, len(data), 74):
        pieces.append(b" " + data[i:i + 74])
    return b"\r\n".join(pieces) + b"\r\n"


def card(rnd, companies):
    first = FIRST[int(rnd() * len(FIRST))]
    last = LAST[int(rnd() * len(LAST))]
    lines = ["BEGIN:VCARD", "VERSION:3.0", "N:%s;%s;;;" % (escaped(last), escaped(first)),
             "FN:%s %s" % (escaped(first), escaped(last))]
    works = rnd() < 0.7
    if works:
        name, street, zip_code, city, area, switchboard = companies[int(rnd() * len(companies))]
        department = g.DEPARTMENTS[int(rnd() * len(g.DEPARTMENTS))] if rnd() < 0.4 else ""
        lines.append("ORG:%s;%s" % (escaped(name), escaped(department)) if department
                     else "ORG:%s" % escaped(name))
        first_number = g.national(area, switchboard + "-" + str(10 + int(rnd() * 890)), rnd)
    else:
        city, area, zip_prefix = g.CITIES[int(rnd() * len(g.CITIES))]
        street = "%s %d" % (g.STREETS[int(rnd() * len(g.STREETS))], 1 + int(rnd() * 80))
        zip_code = zip_prefix + "%03d" % int(rnd() * 1000)
        first_number = g.foreign(rnd) if rnd() < 0.06 else g.national(area, g.local_number(rnd, 7), rnd)
    mobile = g.MOBILE[int(rnd() * len(g.MOBILE))]
    second_number = g.national(mobile, g.local_number(rnd, 7 + int(rnd() * 2)), rnd)
    types = [TEL_TYPES[int(rnd() * len(TEL_TYPES))] for _ in range(2)]
    lines.append("TEL;%s:%s" % (types[0], first_number))
    lines.append("TEL;%s:%s" % (types[1], second_number))
    lines.append("ADR;TYPE=%s:;;%s;%s;;%s;Deutschland"
                 % ("WORK" if works else "HOME", escaped(street), escaped(city), zip_code))
    if rnd() < 0.8:
        lines.append("EMAIL;TYPE=INTERNET:%s.%s@example.de" % (g.mail_part(first), g.mail_part(last)))
    lines.append("NOTE:" + NOTES[int(rnd() * len(NOTES))])
    lines.append("END:VCARD")
    return b"".join(folded(line) for line in lines)


def generate(count, seed, out):
    rng = random.Random(seed)
    rnd = rng.random
    companies = g.build_companies(rnd, max(50, count // 8))
    tmp = out + ".tmp"
    with open(tmp, "wb", buffering=1 << 20) as f:
        cards = []
        for _ in range(count):
            cards.append(card(rnd, companies))
            if len(cards) == 20000:
                f.write(b"".join(cards))
                cards = []
        f.write(b"".join(cards))
    os.replace(tmp, out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--count", required=True, help="cards, e.g. 10000, 300k")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    generate(g.parse_count(args.count), args.seed, args.out)


if __name__ == "__main__":
    main()
