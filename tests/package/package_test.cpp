// The installer packages as an administrator uses them: msiexec installs, replaces with a newer
// package, refuses an older one and removes, and each step is checked by what it left on the
// machine. Runs under wine64 in a clean prefix of its own (scripts/test-package.sh), with the
// packages of this version in the folder VOXARO_PACKAGES and the same programs packaged with a
// higher version in VOXARO_NEWER_PACKAGES.
#include <windows.h>

#include <msi.h>
#include <msiquery.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <iomanip>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/icons.h"

namespace {

using e2e::wstring;

const wchar_t UpgradeCode[] = L"{09E5598F-C411-44F1-A97B-E5C293BF0F67}";
const wchar_t Title[] = L"TAPI Eigenes Telefonbuch erzeugen";
const wchar_t ProgId[] = L"Voxaro.Kontakte";
const wchar_t DowngradeMessage[] = L"Eine neuere Version von Voxaro ist bereits installiert.";
const wchar_t Classes[] = L"Software\\Classes\\";
const wchar_t UninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr DWORD InstallFailure = 1603; // ERROR_INSTALL_FAILURE
constexpr DWORD NoExitCode = 0xFFFFFFFF;

struct Architecture {
  const char* Name; // as in the package's file name
  int ProgramFiles; // CSIDL of the folder it installs into
  REGSAM View;      // the registry view its components write
  WORD Machine;     // of its programs
  bool Runs;        // started here after the install
};

void PrintTo(const Architecture& Arch, std::ostream* Out) {
  *Out << Arch.Name;
}

const Architecture X64 = {"x64", CSIDL_PROGRAM_FILES, KEY_WOW64_64KEY, IMAGE_FILE_MACHINE_AMD64,
                          true};
// The x86 programs are installed and checked, but not started here: the win32 suite starts them
// in a prefix of its own (scripts/test-win32.sh), under an emulator where the kernel runs no i386.
const Architecture X86 = {"x86", CSIDL_PROGRAM_FILESX86, KEY_WOW64_32KEY, IMAGE_FILE_MACHINE_I386,
                          false};

std::string Narrow(const wstring& Text) {
  return e2e::ToAnsi(Text);
}

wstring Lower(wstring Text) {
  for (wchar_t& c : Text)
    c = static_cast<wchar_t>(std::towlower(c));
  return Text;
}

bool IsWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

wstring Environment(const wchar_t* Name) {
  wchar_t value[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(Name, value, MAX_PATH);
  return length > 0 && length < MAX_PATH ? wstring(value, length) : wstring();
}

wstring ShellFolder(int Csidl) {
  wchar_t path[MAX_PATH] = {};
  return SUCCEEDED(SHGetFolderPathW(nullptr, Csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path
                                                                                        : L"";
}

bool Exists(const wstring& Path) {
  return GetFileAttributesW(Path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// --- the packages -------------------------------------------------------------------------

struct Package {
  wstring Path;
  wstring ProductCode;
  wstring Version;
};

wstring PackageProperty(MSIHANDLE Database, const wchar_t* Name) {
  MSIHANDLE view = 0, record = 0;
  wstring value;
  const wstring query = L"SELECT `Value` FROM `Property` WHERE `Property`='" + wstring(Name) + L"'";
  if (MsiDatabaseOpenViewW(Database, query.c_str(), &view) == ERROR_SUCCESS &&
      MsiViewExecute(view, 0) == ERROR_SUCCESS && MsiViewFetch(view, &record) == ERROR_SUCCESS) {
    wchar_t buffer[256] = {};
    DWORD length = 256;
    if (MsiRecordGetStringW(record, 1, buffer, &length) == ERROR_SUCCESS) value = buffer;
  }
  if (record) MsiCloseHandle(record);
  if (view) MsiCloseHandle(view);
  return value;
}

// The package of Arch in the folder named by the environment variable Folder.
Package FindPackage(const wchar_t* Folder, const Architecture& Arch) {
  Package package;
  wstring folder = Environment(Folder);
  if (folder.empty()) return package;
  // A Unix path: Wine shows the Unix root as drive Z:.
  if (folder[0] == L'/') {
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    folder = L"Z:" + folder;
  }
  const std::string suffix = std::string("-") + Arch.Name + ".msi";
  WIN32_FIND_DATAW found;
  const wstring pattern = folder + L"\\voxaro-*" + e2e::FromAnsi(suffix);
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return package;
  package.Path = folder + L"\\" + found.cFileName;
  FindClose(search);
  MSIHANDLE database = 0;
  if (MsiOpenDatabaseW(package.Path.c_str(), MSIDBOPEN_READONLY, &database) == ERROR_SUCCESS) {
    package.ProductCode = PackageProperty(database, L"ProductCode");
    package.Version = PackageProperty(database, L"ProductVersion");
    MsiCloseHandle(database);
  }
  return package;
}

// --- running programs ---------------------------------------------------------------------

struct Started {
  HANDLE Process = nullptr;
  DWORD Id = 0;
};

Started Start(wstring CommandLine) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  Started started;
  if (CreateProcessW(nullptr, &CommandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &process)) {
    CloseHandle(process.hThread);
    started = {process.hProcess, process.dwProcessId};
  }
  return started;
}

// Waits for the process and gives its exit code; ends it and gives NoExitCode after TimeoutMs.
DWORD Finish(const Started& Program, DWORD TimeoutMs) {
  if (!Program.Process) return NoExitCode;
  DWORD code = NoExitCode;
  if (WaitForSingleObject(Program.Process, TimeoutMs) == WAIT_OBJECT_0)
    GetExitCodeProcess(Program.Process, &code);
  else
    TerminateProcess(Program.Process, NoExitCode);
  CloseHandle(Program.Process);
  return code;
}

// msiexec with Arguments, as an administrator's script runs it: its exit code.
DWORD Msiexec(const wstring& Arguments) {
  return Finish(Start(L"msiexec.exe " + Arguments), 180000);
}

wstring Quoted(const wstring& Text) {
  return L"\"" + Text + L"\"";
}

struct WindowSearch {
  DWORD ProcessId;
  std::vector<HWND> Found;
};

BOOL CALLBACK CollectWindow(HWND Window, LPARAM Param) {
  auto* search = reinterpret_cast<WindowSearch*>(Param);
  DWORD owner = 0;
  GetWindowThreadProcessId(Window, &owner);
  if (owner == search->ProcessId && IsWindowVisible(Window)) search->Found.push_back(Window);
  return TRUE;
}

std::vector<HWND> WindowsOf(DWORD ProcessId) {
  WindowSearch search{ProcessId, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

// --- the registry and the files -----------------------------------------------------------

// A registry value as text: strings as they are, numbers in decimal, anything else in hex.
bool ReadValue(HKEY Root, const wstring& Key, const wchar_t* Name, REGSAM View, wstring& Value) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(Root, Key.c_str(), 0, KEY_READ | View, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0, size = 0;
  LONG result = RegQueryValueExW(key, Name, nullptr, &type, nullptr, &size);
  std::vector<BYTE> data(size + 2, 0);
  if (result == ERROR_SUCCESS)
    result = RegQueryValueExW(key, Name, nullptr, &type, data.data(), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return false;
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    Value = reinterpret_cast<const wchar_t*>(data.data());
  } else if (type == REG_DWORD && size == 4) {
    Value = std::to_wstring(*reinterpret_cast<const DWORD*>(data.data()));
  } else {
    std::wostringstream hex;
    hex << L"type " << type << L":";
    for (DWORD i = 0; i < size; ++i)
      hex << std::hex << std::setw(2) << std::setfill(L'0') << data[i];
    Value = hex.str();
  }
  return true;
}

bool KeyExists(HKEY Root, const wstring& Key, REGSAM View) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(Root, Key.c_str(), 0, KEY_READ | View, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::vector<wstring> SubKeys(HKEY Root, const wstring& Key, REGSAM View) {
  std::vector<wstring> names;
  HKEY key = nullptr;
  if (RegOpenKeyExW(Root, Key.c_str(), 0, KEY_READ | View, &key) != ERROR_SUCCESS) return names;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names.emplace_back(name, length);
  }
  RegCloseKey(key);
  return names;
}

// The installed-apps entries named Voxaro, in both registry views.
std::vector<wstring> UninstallEntries() {
  std::vector<wstring> entries;
  for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    for (const wstring& name : SubKeys(HKEY_LOCAL_MACHINE, UninstallKey, view)) {
      wstring shown;
      if (ReadValue(HKEY_LOCAL_MACHINE, UninstallKey + name, L"DisplayName", view, shown) &&
          shown == L"Voxaro")
        entries.push_back((view == KEY_WOW64_32KEY ? L"32-bit view " : L"64-bit view ") + name);
    }
  }
  std::sort(entries.begin(), entries.end());
  entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
  return entries;
}

std::vector<wstring> RelatedProducts() {
  std::vector<wstring> products;
  wchar_t code[39];
  for (DWORD i = 0; MsiEnumRelatedProductsW(UpgradeCode, 0, i, code) == ERROR_SUCCESS; ++i)
    products.push_back(code);
  return products;
}

wstring ProductInfo(const wstring& ProductCode, const wchar_t* Property) {
  wchar_t value[MAX_PATH] = {};
  DWORD length = MAX_PATH;
  return MsiGetProductInfoW(ProductCode.c_str(), Property, value, &length) == ERROR_SUCCESS ? value
                                                                                            : L"";
}

std::set<wstring> FilesIn(const wstring& Folder) {
  std::set<wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((Folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.insert(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

// The machine a program file is built for, from its PE header; 0 when it is none.
WORD MachineOf(const wstring& Program) {
  const std::string bytes = e2e::ReadFileBytes(Program);
  if (bytes.size() < 0x40 || bytes.compare(0, 2, "MZ") != 0) return 0;
  const auto header = *reinterpret_cast<const LONG*>(bytes.data() + 0x3C);
  if (header < 0 || static_cast<size_t>(header) + 6 > bytes.size()) return 0;
  if (bytes.compare(header, 4, std::string("PE\0\0", 4)) != 0) return 0;
  return *reinterpret_cast<const WORD*>(bytes.data() + header + 4);
}

// The product version a program's version resource names.
wstring ProductVersionOf(const wstring& Program) {
  std::vector<BYTE> info(GetFileVersionInfoSizeW(Program.c_str(), nullptr));
  if (info.empty() ||
      !GetFileVersionInfoW(Program.c_str(), 0, static_cast<DWORD>(info.size()), info.data()))
    return L"";
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), L"\\StringFileInfo\\040704E4\\ProductVersion",
                      reinterpret_cast<void**>(&value), &length))
    return L"";
  return wstring(value, length && !value[length - 1] ? length - 1 : length);
}

struct ShortcutInfo {
  bool Loaded = false;
  wstring Target, Description, WorkingDirectory, IconFile;
};

ShortcutInfo ReadShortcut(const wstring& File) {
  ShortcutInfo info;
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return info;
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
    if (SUCCEEDED(persist->Load(File.c_str(), STGM_READ))) {
      wchar_t text[MAX_PATH] = {};
      int index = 0;
      info.Loaded = true;
      if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) info.Target = text;
      text[0] = 0;
      if (SUCCEEDED(link->GetDescription(text, MAX_PATH))) info.Description = text;
      text[0] = 0;
      if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) info.WorkingDirectory = text;
      text[0] = 0;
      if (SUCCEEDED(link->GetIconLocation(text, MAX_PATH, &index))) info.IconFile = text;
    }
    persist->Release();
  }
  link->Release();
  return info;
}

// --- what the machine holds, before and after -----------------------------------------------

// Every file and folder of drive C:, and every key and value under HKLM\Software (both views:
// the 32-bit one is its Wow6432Node) and HKCU\Software, as lines of text. Left out: the
// temporary folders, and the Windows Installer's own records of what is installed, which the
// test reads through the installer's functions instead.
class MachineState {
public:
  static MachineState Take() {
    MachineState state;
    state.AddFiles(L"C:");
    state.AddKeys(HKEY_LOCAL_MACHINE, L"HKLM", L"Software");
    state.AddKeys(HKEY_CURRENT_USER, L"HKCU", L"Software");
    return state;
  }

  // What one state holds and the other not, at most Limit lines.
  static std::string Difference(const MachineState& Before, const MachineState& After,
                                size_t Limit = 40) {
    std::string text;
    size_t shown = 0;
    const auto add = [&](const char* Title, const MachineState& From, const MachineState& To) {
      for (const wstring& line : From.FLines) {
        if (To.FLines.count(line)) continue;
        if (++shown <= Limit) text += Title + Narrow(line) + "\n";
      }
    };
    add("gone: ", Before, After);
    add("new: ", After, Before);
    if (shown > Limit) text += std::to_string(shown - Limit) + " more\n";
    return text;
  }

private:
  bool Skipped(const wstring& Path) const {
    const wstring lower = Lower(Path);
    static const wchar_t* const skipped[] = {
        L"hklm\\software\\classes\\installer",
        L"hklm\\software\\microsoft\\windows\\currentversion\\installer",
        L"hklm\\software\\wow6432node\\microsoft\\windows\\currentversion\\installer",
    };
    for (const wchar_t* prefix : skipped)
      if (lower == prefix || lower.rfind(wstring(prefix) + L"\\", 0) == 0) return true;
    for (const wstring& prefix : FTempFolders)
      if (lower == prefix || lower.rfind(prefix + L"\\", 0) == 0) return true;
    return false;
  }

  MachineState() {
    for (const wstring& folder : {ShellFolder(CSIDL_WINDOWS) + L"\\Temp", TempFolder()})
      FTempFolders.push_back(Lower(folder));
  }

  static wstring TempFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetTempPathW(MAX_PATH, path);
    wstring folder(path, length);
    while (!folder.empty() && folder.back() == L'\\')
      folder.pop_back();
    return folder;
  }

  void AddFiles(const wstring& Folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((Folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
      const wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const wstring path = Folder + L"\\" + name;
      if (Skipped(path)) continue;
      FLines.insert(path);
      // Not through links: the prefix's drives lead back into the Unix file system.
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
          !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        AddFiles(path);
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }

  void AddKeys(HKEY Root, const wstring& RootName, const wstring& Key) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(Root, Key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
      return;
    AddKeyTree(key, RootName + L"\\" + Key);
    RegCloseKey(key);
  }

  // Subkeys are opened through their parent: tens of thousands of keys take a second or two.
  void AddKeyTree(HKEY Key, const wstring& Path) {
    if (Skipped(Path)) return;
    FLines.insert(Path + L"\\");
    DWORD nameMax = 0, dataMax = 0;
    RegQueryInfoKeyW(Key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &nameMax,
                     &dataMax, nullptr, nullptr);
    std::vector<wchar_t> name(nameMax + 2);
    std::vector<BYTE> data(dataMax + 2);
    static const wchar_t digits[] = L"0123456789abcdef";
    for (DWORD i = 0;; ++i) {
      DWORD nameLength = static_cast<DWORD>(name.size()), dataLength = dataMax, type = 0;
      if (RegEnumValueW(Key, i, name.data(), &nameLength, nullptr, &type, data.data(),
                        &dataLength) != ERROR_SUCCESS)
        break;
      wstring line =
          Path + L" : " + wstring(name.data(), nameLength) + L" = " + std::to_wstring(type) + L":";
      for (DWORD b = 0; b < dataLength; ++b) {
        line += digits[data[b] >> 4];
        line += digits[data[b] & 15];
      }
      FLines.insert(std::move(line));
    }
    wchar_t subKey[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      if (RegEnumKeyExW(Key, i, subKey, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
        break;
      HKEY sub = nullptr;
      if (RegOpenKeyExW(Key, subKey, 0, KEY_READ | KEY_WOW64_64KEY, &sub) != ERROR_SUCCESS)
        continue;
      AddKeyTree(sub, Path + L"\\" + wstring(subKey, length));
      RegCloseKey(sub);
    }
  }

  std::vector<wstring> FTempFolders;
  std::set<wstring> FLines;
};

// --- the checks ---------------------------------------------------------------------------

wstring InstallFolder(const Architecture& Arch) {
  return ShellFolder(Arch.ProgramFiles) + L"\\Voxaro";
}

// Where the Start menu entry of a per-machine package goes: the all-users Start menu. Wine puts
// it into the user's own (its installer does not switch ProgramMenuFolder for ALLUSERS).
wstring StartMenuEntry() {
  return ShellFolder(IsWine() ? CSIDL_PROGRAMS : CSIDL_COMMON_PROGRAMS) + L"\\Voxaro.lnk";
}

std::vector<TIconImage> GeneratedIcon() {
  return ReadIconFile(e2e::ProgramFolder() + L"\\assets\\voxaro.ico");
}

void ExpectSameImages(const std::vector<TIconImage>& Actual,
                      const std::vector<TIconImage>& Expected) {
  ASSERT_EQ(Actual.size(), Expected.size());
  for (size_t i = 0; i < Expected.size(); ++i) {
    EXPECT_EQ(Actual[i].Width, Expected[i].Width);
    EXPECT_TRUE(Actual[i].Bytes == Expected[i].Bytes) << "image " << i << " differs";
  }
}

void ExpectFiles(const Architecture& Arch, const Package& Installed) {
  const wstring folder = InstallFolder(Arch);
  EXPECT_EQ(FilesIn(folder),
            (std::set<wstring>{L"LIESMICH.txt", L"voxaro-import.exe", L"voxaro.exe"}))
      << Narrow(folder);
  for (const wchar_t* name : {L"voxaro.exe", L"voxaro-import.exe"}) {
    SCOPED_TRACE(Narrow(name));
    const wstring program = folder + L"\\" + name;
    EXPECT_EQ(MachineOf(program), Arch.Machine);
    const std::vector<TIconGroup> groups = ReadIconGroups(program);
    ASSERT_FALSE(groups.empty()) << "no icon";
    EXPECT_EQ(groups.front().Name, "MAINICON");
    ExpectSameImages(groups.front().Images, GeneratedIcon());
  }
  const std::string guide = e2e::ReadFileBytes(folder + L"\\LIESMICH.txt");
  EXPECT_EQ(guide.rfind("Voxaro " + Narrow(Installed.Version) + ",", 0), 0u) << guide.substr(0, 40);
  EXPECT_NE(guide.find("msiexec /i"), std::string::npos) << "the guide says how to install";
  EXPECT_NE(guide.find("\r\n"), std::string::npos);
}

void ExpectStartMenuEntry(const Architecture& Arch) {
  const wstring entry = StartMenuEntry();
  ASSERT_TRUE(Exists(entry)) << Narrow(entry);
  const ShortcutInfo shortcut = ReadShortcut(entry);
  ASSERT_TRUE(shortcut.Loaded);
  EXPECT_EQ(Lower(shortcut.Target), Lower(InstallFolder(Arch) + L"\\voxaro.exe"));
  EXPECT_EQ(shortcut.Description, Title);
  // Installer folders end with a backslash.
  EXPECT_EQ(Lower(shortcut.WorkingDirectory), Lower(InstallFolder(Arch) + L"\\"));
  // No icon of its own: Explorer shows the target's first icon, the program's.
  EXPECT_EQ(shortcut.IconFile, L"");
}

// The extensions whose "Öffnen mit" lists Voxaro: contact exports and workbooks.
const wchar_t* const OpenWithExtensions[] = {L".csv",  L".vcf",  L".txt",
                                             L".xlsx", L".xlsm", L".ods"};

// The "Öffnen mit" keys, each beside what another program may have: never the default value of
// an extension, which would make Voxaro the default program.
void ExpectOpenWithKeys(const Architecture& Arch) {
  const wstring program = InstallFolder(Arch) + L"\\voxaro.exe";
  const wstring command = Quoted(program) + L" \"%1\"";
  const wstring application = L"Applications\\voxaro.exe";
  const wstring progId = ProgId;
  struct TValue {
    wstring Key;
    const wchar_t* Name;
    wstring Value;
  };
  std::vector<TValue> values = {
      {application, L"FriendlyAppName", L"Voxaro"},
      {application + L"\\shell\\open\\command", L"", command},
      {progId, L"", L"Kontaktliste"},
      {progId + L"\\DefaultIcon", L"", program + L",0"},
      {progId + L"\\shell\\open\\command", L"", command},
  };
  for (const wchar_t* extension : OpenWithExtensions) {
    values.push_back({application + L"\\SupportedTypes", extension, L""});
    values.push_back({wstring(extension) + L"\\OpenWithProgids", ProgId, L""});
  }
  for (const auto& v : values) {
    SCOPED_TRACE(Narrow(v.Key) + " " + Narrow(v.Name));
    wstring actual;
    ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, Classes + v.Key, v.Name, Arch.View, actual));
    EXPECT_EQ(Lower(actual), Lower(v.Value));
  }
}

std::vector<wstring> ExtensionDefaults(const Architecture& Arch) {
  std::vector<wstring> values;
  for (const wchar_t* extension : OpenWithExtensions) {
    wstring value = L"(none)";
    ReadValue(HKEY_LOCAL_MACHINE, Classes + wstring(extension), L"", Arch.View, value);
    values.push_back(value);
  }
  return values;
}

void ExpectInstalledAppsEntry(const Architecture& Arch, const Package& Installed) {
  const wstring key = UninstallKey + Installed.ProductCode;
  const struct {
    const wchar_t* Name;
    wstring Value;
  } values[] = {
      {L"DisplayName", L"Voxaro"},
      {L"DisplayVersion", Installed.Version},
      {L"Publisher", L"Voxaro"},
      // Only the remove button: changing and repairing have nothing to do.
      {L"NoModify", L"1"},
      {L"NoRepair", L"1"},
      {L"WindowsInstaller", L"1"},
  };
  for (const auto& v : values) {
    SCOPED_TRACE(Narrow(v.Name));
    wstring actual;
    ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, key, v.Name, Arch.View, actual)) << Narrow(key);
    EXPECT_EQ(actual, v.Value);
  }
  wstring uninstall;
  ReadValue(HKEY_LOCAL_MACHINE, key, L"UninstallString", Arch.View, uninstall);
  EXPECT_NE(Lower(uninstall).find(Lower(L"/X" + Installed.ProductCode)), wstring::npos);
  EXPECT_EQ(UninstallEntries().size(), 1u);
  // The entry's icon: the installer keeps the package's icon and names it to the shell.
  const wstring icon = ProductInfo(Installed.ProductCode, INSTALLPROPERTY_PRODUCTICON);
  ASSERT_FALSE(icon.empty()) << "no product icon";
  ExpectSameImages(ReadIconFile(icon), GeneratedIcon());
}

// Exactly one Voxaro is installed, and it is Installed.
void ExpectOnlyInstalled(const Package& Installed) {
  EXPECT_EQ(RelatedProducts(), std::vector<wstring>{Installed.ProductCode});
  EXPECT_EQ(ProductInfo(Installed.ProductCode, INSTALLPROPERTY_VERSIONSTRING), Installed.Version);
  EXPECT_EQ(UninstallEntries().size(), 1u);
}

void ExpectInstalled(const Architecture& Arch, const Package& Installed,
                     const std::vector<wstring>& DefaultsBefore) {
  ExpectOnlyInstalled(Installed);
  ExpectFiles(Arch, Installed);
  ExpectStartMenuEntry(Arch);
  ExpectOpenWithKeys(Arch);
  EXPECT_EQ(ExtensionDefaults(Arch), DefaultsBefore) << "a default program was changed";
  ExpectInstalledAppsEntry(Arch, Installed);
}

// Starts the installed program as Explorer's "Öffnen mit" does: the verb's command with the file
// for %1. The window then shows the export's lines, the same as the importer gives.
void ExpectOpenWithShowsTheExport(const Architecture& Arch) {
  wstring command;
  ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, Classes + wstring(ProgId) + L"\\shell\\open\\command",
                        L"", Arch.View, command));
  e2e::TempFolder folder;
  const wstring file =
      folder.Write(L"Kontakte Export.csv", e2e::SourceFile("examples/kontakte.csv"));
  const e2e::ImporterResult expected = e2e::RunImporter(folder, file);
  ASSERT_FALSE(expected.Lines.empty());
  const size_t at = command.find(L"%1");
  ASSERT_NE(at, wstring::npos);
  command.replace(at, 2, file);
  Started program = Start(command);
  ASSERT_NE(program.Process, nullptr) << Narrow(command);
  HWND window = nullptr;
  e2e::WaitFor([&] {
    for (HWND candidate : WindowsOf(program.Id))
      if (e2e::ListBoxOf(candidate) && e2e::WindowText(candidate) == file) window = candidate;
    return window != nullptr;
  });
  EXPECT_NE(window, nullptr) << "no window with the file's path as its caption";
  if (window) {
    EXPECT_EQ(e2e::ListLines(e2e::ListBoxOf(window)), expected.Lines);
    e2e::SaveScreenshot(window, "installed-open-with");
    PostMessageW(window, WM_CLOSE, 0, 0);
  }
  EXPECT_EQ(Finish(program, 10000), 0u);
}

// Installing Older over a newer Voxaro fails, and says why in German. With the basic interface
// (/qb) the installer shows the reason in a dialog box, which is read and closed here; the
// silent run (/qn) writes it to the log instead, which Wine's installer does not.
void ExpectRefused(const Package& Older) {
  Started installer = Start(L"msiexec.exe /i " + Quoted(Older.Path) + L" /qb");
  ASSERT_NE(installer.Process, nullptr);
  wstring shown;
  e2e::WaitFor(
      [&] {
        for (HWND box : WindowsOf(installer.Id)) {
          const HWND text = e2e::FindDescendant(box, L"Static", [](HWND Control) {
            return e2e::WindowText(Control).find(DowngradeMessage) != wstring::npos;
          });
          if (!text) continue;
          shown = e2e::WindowText(text);
          PostMessageW(box, WM_COMMAND, IDOK, 0);
          return true;
        }
        return WaitForSingleObject(installer.Process, 0) == WAIT_OBJECT_0;
      },
      std::chrono::milliseconds(60000));
  EXPECT_NE(shown.find(DowngradeMessage), wstring::npos) << "no message: " << Narrow(shown);
  EXPECT_EQ(Finish(installer, 60000), InstallFailure);
}

void ExpectNothingLeft(const Architecture& Arch, const Package& Removed) {
  EXPECT_FALSE(Exists(InstallFolder(Arch)));
  EXPECT_FALSE(Exists(StartMenuEntry()));
  EXPECT_FALSE(Exists(ShellFolder(CSIDL_WINDOWS) + L"\\Installer\\" + Removed.ProductCode));
  for (const wstring& key : {Classes + wstring(L"Applications\\voxaro.exe"),
                             Classes + wstring(ProgId), UninstallKey + Removed.ProductCode})
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key, Arch.View)) << Narrow(key);
  for (const wchar_t* extension : OpenWithExtensions) {
    wstring value;
    EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, Classes + wstring(extension) + L"\\OpenWithProgids",
                           ProgId, Arch.View, value))
        << Narrow(extension);
  }
  EXPECT_TRUE(RelatedProducts().empty());
  EXPECT_EQ(MsiQueryProductStateW(Removed.ProductCode.c_str()), INSTALLSTATE_UNKNOWN);
  EXPECT_TRUE(UninstallEntries().empty());
}

// --- the tests ----------------------------------------------------------------------------

class PackageTest : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(Environment(L"VOXARO_PACKAGES").empty())
        << "run through scripts/test-package.sh, which builds the packages and the prefix";
    ASSERT_TRUE(RelatedProducts().empty()) << "a Voxaro is installed already";
  }
  // A test that stopped half way leaves nothing installed for the next one.
  void TearDown() override {
    for (const wstring& product : RelatedProducts())
      Msiexec(L"/x " + product + L" /qn");
  }

  static Package Current(const Architecture& Arch) { return FindPackage(L"VOXARO_PACKAGES", Arch); }
  static Package Newer(const Architecture& Arch) {
    return FindPackage(L"VOXARO_NEWER_PACKAGES", Arch);
  }
};

class PackageLifecycle : public PackageTest, public testing::WithParamInterface<Architecture> {};

TEST_P(PackageLifecycle, InstallReplaceRefuseOlderRemove) {
  const Architecture& arch = GetParam();
  const Package current = Current(arch), newer = Newer(arch);
  ASSERT_FALSE(current.ProductCode.empty()) << "no package of this version";
  ASSERT_FALSE(newer.ProductCode.empty()) << "no newer package";
  ASSERT_NE(current.ProductCode, newer.ProductCode);
  const std::vector<wstring> defaults = ExtensionDefaults(arch);
  const MachineState before = MachineState::Take();

  {
    SCOPED_TRACE("install " + Narrow(current.Path));
    ASSERT_EQ(Msiexec(L"/i " + Quoted(current.Path) + L" /qn"), 0u);
    ExpectInstalled(arch, current, defaults);
    // One version for both: the package takes it from where the version resource does.
    EXPECT_EQ(ProductVersionOf(InstallFolder(arch) + L"\\voxaro.exe"), current.Version);
    if (arch.Runs) ExpectOpenWithShowsTheExport(arch);
  }
  {
    SCOPED_TRACE("install the newer " + Narrow(newer.Path));
    ASSERT_EQ(Msiexec(L"/i " + Quoted(newer.Path) + L" /qn"), 0u);
    ExpectInstalled(arch, newer, defaults);
  }
  {
    SCOPED_TRACE("install the older one again");
    ExpectRefused(current);
    ExpectOnlyInstalled(newer);
  }
  {
    SCOPED_TRACE("remove");
    ASSERT_EQ(Msiexec(L"/x " + Quoted(newer.Path) + L" /qn"), 0u);
    ExpectNothingLeft(arch, newer);
    const std::string difference = MachineState::Difference(before, MachineState::Take());
    EXPECT_TRUE(difference.empty()) << difference;
  }
}

INSTANTIATE_TEST_SUITE_P(Architectures, PackageLifecycle, testing::Values(X64, X86),
                         [](const testing::TestParamInfo<Architecture>& Info) {
                           return std::string(Info.param.Name);
                         });

// The two packages of one version replace each other, so that a machine never holds both (their
// Start menu entry and "Öffnen mit" keys are the same).
TEST_F(PackageTest, OtherArchitectureOfTheSameVersionTakesThePlace) {
  const Package x64 = Current(X64), x86 = Current(X86);
  ASSERT_EQ(x64.Version, x86.Version);
  ASSERT_NE(x64.ProductCode, x86.ProductCode);
  ASSERT_EQ(Msiexec(L"/i " + Quoted(x64.Path) + L" /qn"), 0u);
  ASSERT_EQ(Msiexec(L"/i " + Quoted(x86.Path) + L" /qn"), 0u);
  ExpectOnlyInstalled(x86);
  EXPECT_FALSE(Exists(InstallFolder(X64)));
  EXPECT_EQ(FilesIn(InstallFolder(X86)).size(), 3u);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey + x64.ProductCode, KEY_WOW64_64KEY));
}

} // namespace

int main(int argc, char** argv) {
  // The shell's link object for reading the Start menu entry.
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
