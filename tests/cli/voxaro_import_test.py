#!/usr/bin/env python3
"""voxaro-import through its command line: output forms, standard input, exit codes."""
import os
import subprocess
import sys
import tempfile
import unittest

PROGRAM = None
CSV = "Vorname;Nachname;Telefon;Fax\r\nJ\xf6rg;M\xfcller;+49 30 1234;030 1234\r\nAnna;;+1 555 12;\r\n"
CSV_BYTES = CSV.encode("cp1252")


def run(args, stdin=b"", env_locale="de_DE.UTF-8"):
    env = dict(os.environ, LC_ALL=env_locale)
    return subprocess.run([PROGRAM] + args, input=stdin, capture_output=True, env=env, timeout=60)


class ImportCommand(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.file = os.path.join(self.dir.name, "kontakte.csv")
        with open(self.file, "wb") as f:
            f.write(CSV_BYTES)

    def tearDown(self):
        self.dir.cleanup()

    def test_output_forms(self):
        lines = ["00155512=Anna", "0301234=J\xf6rg M\xfcller"]
        cases = [
            ([], "".join(l + "\n" for l in lines).encode("utf-8")),
            (["--raw"], "".join(l + "\r\n" for l in lines).encode("cp1252")),
        ]
        for extra, expected in cases:
            with self.subTest(extra=extra):
                r = run(extra + [self.file])
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(r.stdout, expected)
                # Two records, three numbers: the repeat under Fax counts too.
                self.assertEqual(r.stderr.decode().splitlines()[-1], "2 Namen 3 Nummern gefunden.")

    def test_standard_input_and_country(self):
        r = run(["--country", "1", "--raw", "-"], stdin=CSV_BYTES)
        self.assertEqual(r.returncode, 0, r.stderr)
        expected = "0049301234=J\xf6rg M\xfcller\r\n0301234=J\xf6rg M\xfcller\r\n055512=Anna\r\n"
        self.assertEqual(r.stdout, expected.encode("cp1252"))

    def test_default_country_from_locale(self):
        r = run(["--raw", self.file], env_locale="de_CH.UTF-8")
        self.assertIn(b"0049301234=", r.stdout)

    def test_summary_groups_thousands(self):
        rows = "".join("N%d;0%d\r\n" % (i, 301000 + i) for i in range(1234))
        with open(self.file, "wb") as f:
            f.write(("Name;Telefon\r\n" + rows).encode())
        r = run([self.file])
        self.assertEqual(r.stderr.decode().splitlines()[-1], "1.234 Namen 1.234 Nummern gefunden.")
        self.assertEqual(len(r.stdout.splitlines()), 1234)

    def test_output_of_many_pieces(self):
        # Over a megabyte of lines leaves in several pieces; none may be lost, doubled or moved.
        count = 60000
        rows = "".join("M\xfcller %d;0%d\r\n" % (i, 301000000 + i) for i in range(count))
        with open(self.file, "wb") as f:
            f.write(("Name;Telefon\r\n" + rows).encode("cp1252"))
        lines = ["0%d=M\xfcller %d" % (301000000 + i, i) for i in range(count)]
        for extra, end, encoding in [([], "\n", "utf-8"), (["--raw"], "\r\n", "cp1252")]:
            with self.subTest(extra=extra):
                r = run(extra + [self.file])
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(r.stdout, "".join(l + end for l in lines).encode(encoding))

    def test_bundled_vcard_and_unicode_text_exports(self):
        examples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples")
        joerg = "J\xf6rg M\xfcller & S\xf6hne GmbH Vertrieb"
        cases = [
            ("kontakte.vcf", [
                "0033142685300=\xc9lodie Lef\xe8vre Boulangerie Lef\xe8vre, P\xe8re et",
                "004533123456=Mette S\xf8rensen",
                "01712345678=" + joerg, "0301234567=" + joerg, "0301234568=" + joerg,
                "0403344550=Nordlicht Reisen", "0403344559=Nordlicht Reisen",
                "0406432131550=Mette S\xf8rensen",
                "089555012=Anna Sch\xe4fer", "089555013=Anna Sch\xe4fer"], "5 Namen 10 Nummern gefunden."),
            ("adressen_unicode.txt", [
                "0048221234567=Lukasz Nowak Kaffeer\xf6sterei", "06221998877=Zo\xeb Kr\xe4mer",
                "07112233440=G\xfcnther Wei\xdf & Partner", "0711556677=G\xfcnther Wei\xdf & Partner",
                "08001234567=Stadtwerke S\xfcd"], "4 Namen 5 Nummern gefunden."),
        ]
        for name, lines, summary in cases:
            with self.subTest(name):
                r = run(["--raw", "--country", "49", os.path.join(examples, name)])
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(r.stdout, "".join(l + "\r\n" for l in lines).encode("cp1252"))
                self.assertEqual(r.stderr.decode().strip(), summary)

    def test_workbooks_from_a_file_and_from_standard_input(self):
        data = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "workbooks")
        joerg = "J\xf6rg M\xfcller & S\xf6hne GmbH"
        # Calc and Gnumeric stored the plain phone numbers as numbers: their zero is gone.
        lines = ["030999=Lukasz Dvor\xe1k", "040123456=Stadtwerke", "1511234567=Lukasz Dvor\xe1k",
                 "301234567=" + joerg, "33142685300=\xc9lodie Lef\xe8vre Atelier Nord",
                 "4917123456789=" + joerg, "89555012=Anna Sch\xe4fer"]
        expected = "".join(l + "\r\n" for l in lines).encode("cp1252")
        for name in ("kontakte-calc.xlsx", "kontakte-gnumeric.xlsx", "kontakte-calc.ods",
                     "kontakte-gnumeric.ods"):
            path = os.path.join(data, name)
            with open(path, "rb") as f:
                workbook = f.read()
            for args, stdin in ((["--raw", "--country", "49", path], b""),
                                (["--raw", "--country", "49", "-"], workbook)):
                with self.subTest(name=name, stdin=bool(stdin)):
                    r = run(args, stdin=stdin)
                    self.assertEqual(r.returncode, 0, r.stderr)
                    self.assertEqual(r.stdout, expected)
                    self.assertEqual(r.stderr.decode().strip(), "5 Namen 7 Nummern gefunden.")
        old = os.path.join(self.dir.name, "alt.xls")
        with open(old, "wb") as f:
            f.write(b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1" + bytes(504))
        for args, stdin in (([old], b""), (["-"], open(old, "rb").read())):
            with self.subTest(old=args):
                r = run(args, stdin=stdin)
                self.assertEqual(r.returncode, 1)
                self.assertEqual(r.stdout, b"")
                self.assertEqual(r.stderr.decode("cp1252", "replace").strip(),
                                 "Diese Arbeitsmappe ist im alten Excel-Format (.xls) oder mit "
                                 "einem Kennwort gesichert. Bitte als .xlsx oder CSV speichern.")

    def test_import_errors(self):
        empty = os.path.join(self.dir.name, "leer.csv")
        open(empty, "wb").close()
        cases = [
            ([empty], "Try to read past eof."),
            ([os.path.join(self.dir.name, "fehlt.csv")], "OSError."),
            ([self.dir.name], "OSError."),
            (["-"], "Try to read past eof."),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                r = run(args)
                self.assertEqual(r.returncode, 1)
                self.assertEqual(r.stdout, b"")
                self.assertEqual(r.stderr.decode().strip(), message)

    def test_hundred_megabyte_line(self):
        # One line without a break: a header and nothing else.
        with open(self.file, "wb") as f:
            f.write(b"Name;Telefon;" + b"x" * (100 * 1000 * 1000))
        r = run([self.file])
        self.assertEqual(r.returncode, 0, r.stderr[-200:])
        self.assertEqual(r.stdout, b"")
        self.assertEqual(r.stderr.decode().strip(), "0 Namen 0 Nummern gefunden.")

    def test_usage(self):
        for args in ([], ["--country"], ["--country", "4x", self.file], ["--bogus", self.file],
                     [self.file, self.file]):
            with self.subTest(args=args):
                r = run(args)
                self.assertEqual(r.returncode, 2)
                self.assertEqual(r.stdout, b"")
                self.assertIn(b"usage: voxaro-import", r.stderr)
        r = run(["--help"])
        self.assertEqual(r.returncode, 0)
        self.assertIn(b"usage: voxaro-import", r.stdout)

    def test_no_temporary_file_left_from_standard_input(self):
        tmp = tempfile.mkdtemp(dir=self.dir.name)
        env = dict(os.environ, TMPDIR=tmp, LC_ALL="de_DE.UTF-8")
        for data in (CSV_BYTES, b""):
            subprocess.run([PROGRAM, "-"], input=data, capture_output=True, env=env, timeout=60)
        self.assertEqual(os.listdir(tmp), [])


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=1)
