#!/usr/bin/env python3
"""The installer packages' tables, read with msiinfo: what Windows Installer will do with them,
including what Wine's installer does differently (the all-users Start menu, the message of a
refused older package in a silent log). The packages are found in the folders named by
VOXARO_PACKAGES (this version) and VOXARO_NEWER_PACKAGES (a higher one)."""
import glob
import os
import re
import subprocess
import unittest

UPGRADE_CODE = "{09E5598F-C411-44F1-A97B-E5C293BF0F67}"
TITLE = "TAPI Eigenes Telefonbuch erzeugen"
PROG_ID = "Voxaro.Kontakte"
COMMAND = '"[#voxaro.exe]" "%1"'
# msidbComponentAttributes64bit; msidbUpgradeAttributesOnlyDetect, ...VersionMinInclusive,
# ...VersionMaxInclusive.
COMPONENT_64BIT = 256
ONLY_DETECT, MIN_INCLUSIVE, MAX_INCLUSIVE = 2, 256, 512
ARCHITECTURES = {
    "x64": {"platform": "x64", "folder": "ProgramFiles64Folder", "64bit": True},
    "x86": {"platform": "Intel", "folder": "ProgramFilesFolder", "64bit": False},
}


def msiinfo(*args):
    return subprocess.run(["msiinfo", *args], check=True, capture_output=True, text=True,
                          encoding="cp1252").stdout


def table(package, name):
    """The rows of a table as dictionaries by column name."""
    lines = msiinfo("export", package, name).splitlines()
    columns = lines[0].split("\t")
    rows = []
    for line in lines[3:]:
        if line:
            rows.append(dict(zip(columns, line.split("\t"))))
    return rows


def packages(variable):
    folder = os.environ.get(variable, "")
    found = {}
    for path in glob.glob(os.path.join(folder, "voxaro-*.msi")):
        m = re.fullmatch(r"voxaro-(.+)-(x64|x86)\.msi", os.path.basename(path))
        if m:
            found[m.group(2)] = (path, m.group(1))
    return found


class Tables(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.current = packages("VOXARO_PACKAGES")
        cls.newer = packages("VOXARO_NEWER_PACKAGES")

    def each(self):
        """Both packages of this version: architecture, its expectations, path, version."""
        self.assertEqual(sorted(self.current), ["x64", "x86"], "VOXARO_PACKAGES")
        return [(arch, ARCHITECTURES[arch], path, version)
                for arch, (path, version) in sorted(self.current.items())]

    def test_summary_and_properties(self):
        for arch, props, path, version in self.each():
            with self.subTest(arch=arch):
                summary = msiinfo("suminfo", path)
                self.assertIn(f"Template: {props['platform']};1031", summary)
                properties = {r["Property"]: r["Value"] for r in table(path, "Property")}
                expected = {
                    "ALLUSERS": "1",  # per machine: Program Files, all users' Start menu, HKLM
                    "ProductName": "Voxaro",
                    "Manufacturer": "Voxaro",
                    "ProductVersion": version,
                    "ProductLanguage": "1031",
                    "UpgradeCode": UPGRADE_CODE,
                    "ARPNOMODIFY": "1",
                    "ARPNOREPAIR": "1",
                    "ARPPRODUCTICON": "voxaro.ico",
                }
                for name, value in expected.items():
                    self.assertEqual(properties.get(name), value, name)
                self.assertEqual([r["Name"] for r in table(path, "Icon")], ["voxaro.ico"])

    def test_product_codes_differ_by_version_and_architecture(self):
        codes = {}
        for group in (self.current, self.newer):
            for arch, (path, version) in group.items():
                properties = {r["Property"]: r["Value"] for r in table(path, "Property")}
                codes[(arch, version)] = properties["ProductCode"]
        self.assertEqual(len(codes), 4, "VOXARO_NEWER_PACKAGES")
        self.assertEqual(len(set(codes.values())), 4, codes)

    def test_upgrade_replaces_older_and_same_refuses_newer(self):
        for arch, _, path, version in self.each():
            with self.subTest(arch=arch):
                rows = sorted((r["VersionMin"], r["VersionMax"], int(r["Attributes"]),
                               r["ActionProperty"]) for r in table(path, "Upgrade")
                              if r["UpgradeCode"] == UPGRADE_CODE)
                self.assertEqual(rows, [
                    ("0.0.0", version, MIN_INCLUSIVE | MAX_INCLUSIVE, "WIX_UPGRADE_DETECTED"),
                    (version, "", ONLY_DETECT, "WIX_DOWNGRADE_DETECTED"),
                ])
                conditions = table(path, "LaunchCondition")
                self.assertEqual([c["Condition"] for c in conditions],
                                 ["NOT WIX_DOWNGRADE_DETECTED"])
                self.assertTrue(conditions[0]["Description"].startswith(
                    "Eine neuere Version von Voxaro ist bereits installiert."))
                sequence = {r["Action"]: int(r["Sequence"])
                            for r in table(path, "InstallExecuteSequence")}
                # Found before the conditions are weighed; the old product goes before anything of
                # the new one is installed.
                self.assertLess(sequence["FindRelatedProducts"], sequence["LaunchConditions"])
                self.assertLess(sequence["InstallValidate"], sequence["RemoveExistingProducts"])
                self.assertLess(sequence["RemoveExistingProducts"], sequence["InstallInitialize"])

    def test_files_and_components(self):
        guids = {}
        for arch, props, path, _ in self.each():
            with self.subTest(arch=arch):
                directories = {r["Directory"]: r for r in table(path, "Directory")}
                self.assertEqual(directories["INSTALLDIR"]["Directory_Parent"], props["folder"])
                self.assertEqual(directories["INSTALLDIR"]["DefaultDir"], "Voxaro")
                components = table(path, "Component")
                for c in components:
                    self.assertEqual(c["Directory_"], "INSTALLDIR", c)
                    self.assertEqual(bool(int(c["Attributes"]) & COMPONENT_64BIT), props["64bit"],
                                     c)
                guids[arch] = {c["ComponentId"] for c in components}
                files = {r["FileName"]: r["Component_"] for r in table(path, "File")}
                self.assertEqual(files, {"voxaro.exe": "Program", "voxaro-import.exe": "Importer",
                                         "LIESMICH.txt": "Guide"})
        # Different folders, so different components.
        self.assertFalse(guids["x64"] & guids["x86"])

    def test_start_menu_shortcut(self):
        for arch, _, path, _ in self.each():
            with self.subTest(arch=arch):
                shortcuts = table(path, "Shortcut")
                self.assertEqual(len(shortcuts), 1)
                s = shortcuts[0]
                # A plain shortcut (a target, not a feature), with no icon of its own.
                self.assertEqual((s["Directory_"], s["Name"], s["Target"], s["Description"],
                                  s["Icon_"], s["WkDir"]),
                                 ("ProgramMenuFolder", "Voxaro", "[#voxaro.exe]", TITLE, "",
                                  "INSTALLDIR"))

    def test_open_with_registry(self):
        expected = {
            ("Software\\Classes\\Applications\\voxaro.exe", "FriendlyAppName", "Voxaro"),
            ("Software\\Classes\\Applications\\voxaro.exe\\shell\\open\\command", "", COMMAND),
            (f"Software\\Classes\\{PROG_ID}", "", "Kontaktliste"),
            (f"Software\\Classes\\{PROG_ID}\\DefaultIcon", "", "[#voxaro.exe],0"),
            (f"Software\\Classes\\{PROG_ID}\\shell\\open\\command", "", COMMAND),
        }
        # Contact exports and workbooks.
        for extension in (".csv", ".vcf", ".txt", ".xlsx", ".xlsm", ".ods"):
            expected.add(("Software\\Classes\\Applications\\voxaro.exe\\SupportedTypes", extension, ""))
            expected.add((f"Software\\Classes\\{extension}\\OpenWithProgids", PROG_ID, ""))
        for arch, _, path, _ in self.each():
            with self.subTest(arch=arch):
                rows = table(path, "Registry")
                # HKLM, and in the program's component, so that they go with it.
                self.assertEqual({(r["Root"], r["Component_"]) for r in rows}, {("2", "Program")})
                self.assertEqual({(r["Key"], r["Name"], r["Value"]) for r in rows}, expected)
                # Never the default value of an extension: that would take over its default program.
                for r in rows:
                    self.assertFalse(re.fullmatch(r"Software\\Classes\\\.[a-z]+", r["Key"]), r)


if __name__ == "__main__":
    unittest.main()
