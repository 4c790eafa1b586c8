#!/usr/bin/env python3
"""Writes a contacts export of N invented people, shaped like a German desktop mail client's CSV.

    gen_contacts.py --count 100k [--seed 1] [--encoding cp1252|utf-8-sig] --out FILE

27 columns, every field quoted, comma separated, CR LF; about half of the six phone fields filled,
numbers written in the styles people type them in; a multi-line note in some records; first and
last names drawn from small pools, so that the same name turns up at many companies, and colleagues
share their company's switchboard number. The same seed gives the same bytes.

Windows-1252 is the default because it is what such an export writes on a German Windows: the
importer then tries UTF-8, fails at the first umlaut of the header and reads the bytes as they are.
"""
import argparse
import os
import random

HEADER = [
    "Anrede", "Vorname", "Weitere Vornamen", "Nachname", "Suffix", "Firma", "Abteilung", "Position",
    "Straße geschäftlich", "Postleitzahl geschäftlich", "Ort geschäftlich", "Land/Region geschäftlich",
    "Straße privat", "Postleitzahl privat", "Ort privat",
    "Telefon geschäftlich", "Telefon geschäftlich 2", "Mobiltelefon", "Fax geschäftlich",
    "Telefon privat", "Telefon privat 2",
    "E-Mail-Adresse", "E-Mail 2: Adresse", "Geburtstag", "Kategorien", "Notizen", "Webseite",
]

FIRST_F = """Anna Maria Ursula Monika Petra Elisabeth Sabine Renate Helga Karin Brigitte Ingrid Erika
Andrea Gisela Claudia Susanne Gabriele Christa Christine Jutta Marianne Doris Birgit Heike Barbara
Nicole Stefanie Julia Katharina Lena Laura Sophie Jülide Zoë Anaïs Renée Gülsen Björg Jördis Kübra
Hannelore Käthe Dörte Bärbel Sünje Ilse Margarete Lieselotte Élise Mette Åsa Inés Małgorzata""".split()
FIRST_M = """Peter Michael Thomas Andreas Wolfgang Klaus Jürgen Günter Stefan Christian Uwe Werner
Horst Frank Dieter Manfred Gerhard Hans Bernd Torsten Matthias Markus Jörg Björn Sören Jens Lars
Ömer Mehmet René José François Lukas Jonas Felix Maximilian Paul Leon Finn Noah Elias Ben Luca
Karl-Heinz Hans-Peter Franz-Josef Gustav Ole Jan Till Malte Kai Nils Mads Dženan""".split()
LAST = """Müller Schmidt Schneider Fischer Weber Meyer Wagner Becker Schulz Hoffmann Schäfer Koch Bauer
Richter Klein Wolf Schröder Neumann Schwarz Zimmermann Braun Krüger Hofmann Hartmann Lange Schmitt
Werner Schmitz Krause Meier Lehmann Schmid Schulze Maier Köhler Herrmann König Walter Mayer Huber
Kaiser Fuchs Peters Lang Scholz Möller Weiß Jung Hahn Schubert Vogel Friedrich Keller Günther
Frank Berger Winkler Roth Beck Lorenz Baumann Franke Albrecht Schuster Simon Ludwig Böhm Winter
Kraus Martin Schumacher Krämer Vogt Stein Jäger Otto Sommer Groß Seidel Heinrich Brandt Haas
Schreiber Graf Schulte Dietrich Ziegler Kuhn Kühn Pohl Engel Horn Busch Bergmann Voigt Sauer
Arnold Wolff Pfeiffer Öztürk Yıldız Nowak Kowalski Dubois Lefèvre García Rossi Jensen Sørensen
Østergaard Van-der-Berg Brösel Wöhrle Gößling Dreßler Süßmuth Oberhollenzer""".split()
# Characters outside Windows-1252 would become '?' in that encoding; keep the pools inside it.
FIRST_F = [n for n in FIRST_F if n.encode("cp1252", "ignore").decode("cp1252") == n]
FIRST_M = [n for n in FIRST_M if n.encode("cp1252", "ignore").decode("cp1252") == n]
LAST = [n for n in LAST if n.encode("cp1252", "ignore").decode("cp1252") == n]
SECOND_F = "Maria Theresa Luise Sophie Marie Anna Charlotte".split()
SECOND_M = "Johann Friedrich Wilhelm Georg Peter Maria Karl".split()
SUFFIXES = ["jun.", "sen.", "Dr.", "Prof. Dr.", "Dipl.-Ing.", "M.A."]
CITIES = [
    ("Berlin", "30", "10"), ("Hamburg", "40", "20"), ("München", "89", "80"), ("Köln", "221", "50"),
    ("Frankfurt am Main", "69", "60"), ("Stuttgart", "711", "70"), ("Düsseldorf", "211", "40"),
    ("Leipzig", "341", "04"), ("Dresden", "351", "01"), ("Hannover", "511", "30"),
    ("Nürnberg", "911", "90"), ("Bremen", "421", "28"), ("Bonn", "228", "53"),
    ("Heidelberg", "6221", "69"), ("Konstanz", "7531", "78"), ("Nordhausen", "3631", "99"),
    ("Lübeck", "451", "23"), ("Göttingen", "551", "37"), ("Würzburg", "931", "97"),
    ("Osnabrück", "541", "49"), ("Saarbrücken", "681", "66"), ("Oberstdorf", "8322", "87"),
]
MOBILE = ["151", "152", "157", "160", "162", "163", "170", "171", "172", "175", "176", "177", "179"]
FOREIGN = [("33", 9), ("41", 9), ("43", 10), ("31", 9), ("44", 10), ("1", 10), ("39", 10), ("48", 9)]
STREETS = ["Hauptstraße", "Bahnhofstraße", "Gartenweg", "Schulstraße", "Lindenallee", "Am Markt",
           "Mühlenweg", "Birkenweg", "Goethestraße", "Schillerstraße", "Industriestraße", "Hafenstraße",
           "Königsallee", "Uferstraße", "Wiesengrund", "Kirchplatz", "Am Rosenhügel", "Brückenstraße",
           "Deichweg", "Römerstraße"]
TRADES = ["Haustechnik", "Bau", "Elektro", "Immobilien", "Logistik", "Reisen", "Steuerberatung",
          "Software", "Metallbau", "Gartenbau", "Druckerei", "Autohaus", "Versicherungen", "Consulting",
          "Bäckerei", "Sanitär", "Fliesen", "Dachdeckerei", "Küchenstudio", "Zahntechnik"]
FORMS = ["GmbH", "GmbH & Co. KG", "AG", "KG", "e.K.", "OHG", "GbR", "& Söhne", "& Partner"]
DEPARTMENTS = ["Einkauf", "Vertrieb", "Buchhaltung", "Personal", "IT", "Kundendienst",
               "Geschäftsleitung", "Produktion", "Logistik", "Marketing", "Empfang", "Qualitätssicherung"]
POSITIONS = ["Sachbearbeiterin", "Sachbearbeiter", "Teamleiter", "Abteilungsleiterin", "Geschäftsführer",
             "Inhaberin", "Projektleiter", "Assistenz der Geschäftsleitung", "Prokurist", "Werkstudentin"]
CATEGORIES = ["Kunden", "Lieferanten", "Privat", "Familie", "Verein", "Kunden; Messe 2023", "Handwerker", ""]
NOTES = [
    "Rückruf erbeten\r\nam besten vormittags",
    "Kennt uns von der Messe in Köln,\r\nwill ein Angebot bis Ende des Monats.",
    'Sagt "Chefin" zu sich\r\nbitte nicht vor 9 Uhr anrufen',
    "Durchwahl ab 14 Uhr\r\nsonst Zentrale\r\nFax nur für Aufträge",
    "Geburtstagskarte nicht vergessen!",
    "Neue Adresse ab 1.4., alte noch gültig",
    "Zahlt immer pünktlich; Skonto 2 %",
    "Ansprechpartner für Störungen\r\nauch am Wochenende: Bereitschaft",
]


def build_companies(rnd, count):
    companies = []
    for _ in range(count):
        city, area, zip_prefix = CITIES[int(rnd() * len(CITIES))]
        kind = rnd()
        if kind < 0.45:
            name = "%s %s %s" % (LAST[int(rnd() * len(LAST))], TRADES[int(rnd() * len(TRADES))],
                                 FORMS[int(rnd() * len(FORMS))])
        elif kind < 0.75:
            name = "%s %s %s" % (TRADES[int(rnd() * len(TRADES))], city, FORMS[int(rnd() * len(FORMS))])
        elif kind < 0.9:
            name = "%s & %s %s" % (LAST[int(rnd() * len(LAST))], LAST[int(rnd() * len(LAST))],
                                   TRADES[int(rnd() * len(TRADES))])
        else:
            name = "Stadtwerke %s" % city
        street = "%s %d" % (STREETS[int(rnd() * len(STREETS))], 1 + int(rnd() * 120))
        zip_code = zip_prefix + "%03d" % int(rnd() * 1000)
        switchboard = str(2 + int(rnd() * 8)) + "%0*d" % (5 if len(area) > 3 else 6, int(rnd() * 10 ** 6))
        companies.append((name, street, zip_code, city, area, switchboard))
    return companies


def spaced(digits, rnd):
    """Digits in pairs or threes, as some people group them."""
    step = 2 if rnd() < 0.6 else 3
    return " ".join(digits[i:i + step] for i in range(0, len(digits), step))


def national(area, local, rnd):
    """One German number (area code without its 0) in one of the styles seen in real exports."""
    style = int(rnd() * 12)
    if style == 0:
        return "+49 (%s) %s" % (area, local)
    if style == 1:
        return "0049 %s %s" % (area, local)
    if style == 2:
        return "0%s/%s" % (area, local)
    if style == 3:
        return "(0%s) %s" % (area, spaced(local, rnd))
    if style == 4:
        return "+49 (0) %s %s" % (area, local)
    if style == 5:
        return "+49 (0)%s %s" % (area, local)
    if style == 6:
        return "0%s-%s" % (area, local)
    if style == 7:
        return "+49 %s %s" % (area, local)
    if style == 8:
        return "+49-%s-%s" % (area, local)
    if style == 9:
        return "0%s %s" % (area, spaced(local, rnd))
    if style == 10:
        return "0%s / %s" % (area, local)
    return "0%s %s" % (area, local)


def foreign(rnd):
    code, length = FOREIGN[int(rnd() * len(FOREIGN))]
    digits = "%0*d" % (length, int(rnd() * 10 ** length))
    digits = str(1 + int(rnd() * 9)) + digits[1:]
    if rnd() < 0.5:
        return "+%s %s" % (code, spaced(digits, rnd))
    if code == "1":
        return "+1 (%s) %s-%s" % (digits[:3], digits[3:6], digits[6:])
    if rnd() < 0.5:
        return "00%s %s" % (code, digits)
    return "+%s (0) %s" % (code, digits)


def local_number(rnd, length):
    return str(2 + int(rnd() * 8)) + "%0*d" % (length - 1, int(rnd() * 10 ** (length - 1)))


def mail_part(text):
    return (text.lower().replace("ä", "ae").replace("ö", "oe").replace("ü", "ue").replace("ß", "ss")
            .encode("ascii", "ignore").decode().replace(" ", ""))


def generate(count, seed, out, encoding):
    rng = random.Random(seed)
    rnd = rng.random
    companies = build_companies(rnd, max(50, count // 8))
    header = '"' + '","'.join(HEADER) + '"\r\n'
    if encoding == "utf-8-sig":
        encoding = "utf-8"
        prefix = b"\xef\xbb\xbf"
    else:
        prefix = b""
    ncomp = len(companies)
    nlast = len(LAST)
    tmp = out + ".tmp"
    with open(tmp, "wb", buffering=1 << 20) as f:
        f.write(prefix + header.encode(encoding))
        rows = []
        for n in range(count):
            female = rnd() < 0.5
            firsts = FIRST_F if female else FIRST_M
            first = firsts[int(rnd() * len(firsts))]
            last = LAST[int(rnd() * nlast)]
            r = [""] * 27
            r[0] = "Frau" if female else "Herr"
            r[1] = first
            if rnd() < 0.08:
                seconds = SECOND_F if female else SECOND_M
                r[2] = seconds[int(rnd() * len(seconds))]
            r[3] = last
            if rnd() < 0.03:
                r[4] = SUFFIXES[int(rnd() * len(SUFFIXES))]
            works = rnd() < 0.65
            if works:
                name, street, zip_code, city, area, switchboard = companies[int(rnd() * ncomp)]
                r[5] = name
                if rnd() < 0.35:
                    r[6] = DEPARTMENTS[int(rnd() * len(DEPARTMENTS))]
                if rnd() < 0.3:
                    r[7] = POSITIONS[int(rnd() * len(POSITIONS))]
                r[8], r[9], r[10], r[11] = street, zip_code, city, "Deutschland"
            else:
                city, area, zip_prefix = CITIES[int(rnd() * len(CITIES))]
                switchboard = None
            if rnd() < 0.4:
                home_city, home_area, home_zip = CITIES[int(rnd() * len(CITIES))]
                r[12] = "%s %d" % (STREETS[int(rnd() * len(STREETS))], 1 + int(rnd() * 80))
                r[13] = home_zip + "%03d" % int(rnd() * 1000)
                r[14] = home_city
            else:
                home_area = area
            # The six phone fields, each filled about half the time.
            if rnd() < 0.5:
                if switchboard and rnd() < 0.7:
                    # The switchboard itself, or a direct line on it.
                    local = switchboard if rnd() < 0.3 else switchboard + "-" + str(10 + int(rnd() * 890))
                    r[15] = national(area, local, rnd)
                else:
                    r[15] = foreign(rnd) if rnd() < 0.06 else national(area, local_number(rnd, 7), rnd)
            if rnd() < 0.5:
                r[16] = national(area, local_number(rnd, 7), rnd)
            if rnd() < 0.5:
                mobile = MOBILE[int(rnd() * len(MOBILE))]
                r[17] = national(mobile, local_number(rnd, 7 + int(rnd() * 2)), rnd)
            if rnd() < 0.5:
                if switchboard and rnd() < 0.6:
                    r[18] = national(area, switchboard + "-" + str(int(rnd() * 100)), rnd)
                else:
                    r[18] = national(area, local_number(rnd, 7), rnd)
            if rnd() < 0.5:
                r[19] = national(home_area, local_number(rnd, 6 + int(rnd() * 3)), rnd)
            if rnd() < 0.5:
                r[20] = foreign(rnd) if rnd() < 0.1 else national(home_area, local_number(rnd, 7), rnd)
            mail = "%s.%s@%s" % (mail_part(first), mail_part(last),
                                 "example.de" if rnd() < 0.7 else "example.com")
            if rnd() < 0.8:
                r[21] = mail
            if rnd() < 0.15:
                r[22] = "%s%d@example.com" % (mail_part(first), int(rnd() * 100))
            r[23] = "0.0.00" if rnd() < 0.7 else "%d.%d.%d" % (1 + int(rnd() * 28), 1 + int(rnd() * 12),
                                                               1940 + int(rnd() * 65))
            r[24] = CATEGORIES[int(rnd() * len(CATEGORIES))]
            if rnd() < 0.12:
                r[25] = NOTES[int(rnd() * len(NOTES))].replace('"', '""')
            if works and rnd() < 0.2:
                r[26] = "www.example.com/" + mail_part(r[5])[:20]
            rows.append('"' + '","'.join(r) + '"\r\n')
            if len(rows) == 20000:
                f.write("".join(rows).encode(encoding))
                rows = []
        f.write("".join(rows).encode(encoding))
    os.replace(tmp, out)


def parse_count(text):
    scale = {"k": 1000, "m": 1000000}.get(text[-1:].lower(), 1)
    return int(text[:-1] if scale > 1 else text) * scale


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--count", required=True, help="contacts, e.g. 10000, 100k or 1M")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--encoding", choices=["cp1252", "utf-8-sig"], default="cp1252")
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    generate(parse_count(args.count), args.seed, args.out, args.encoding)


if __name__ == "__main__":
    main()
