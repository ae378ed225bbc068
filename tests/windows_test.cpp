// What only Windows asks of the file layer and the converter: UTF-16 paths,
// both separators, a save that another program's open file cannot break,
// Windows error codes, reserved names, untouched bytes and long paths.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>

#include "archive/far.h"
#include "cli/converter.h"
#include "files/file_io_windows.h"
#include "files/textfile.h"
#include "model/failure.h"
#include "model/paths.h"
#include "output_set.h"
#include "publish/check.h"
#include "support.h"

namespace mervane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using windows::Access;
using windows::Widen;

// The file's bytes, read with Windows' own calls rather than the code under test.
std::string Bytes(const std::string& path) {
  const HANDLE h = ::CreateFileW(windows::SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE) << "cannot open " << path;
  std::string text;
  char buf[4096];
  DWORD n = 0;
  while (h != INVALID_HANDLE_VALUE && ::ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) text.append(buf, n);
  if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  return text;
}

// Names in a folder, as UTF-8, sorted.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry{};
  const HANDLE h = ::FindFirstFileW(windows::SystemPath(folder + "\\*").c_str(), &entry);
  EXPECT_NE(h, INVALID_HANDLE_VALUE) << "cannot list " << folder;
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = windows::Narrow(entry.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (::FindNextFileW(h, &entry));
  ::FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

int FailureNumber(const std::function<void()>& f, std::string* detail = nullptr) {
  try {
    f();
  } catch (const Failure& failure) {
    if (detail) *detail = failure.detail();
    return failure.number();
  }
  return 0;
}

// Runs the converter program with a UTF-16 command line; returns its exit status.
int RunConverterProgram(const std::vector<std::string>& args) {
  std::wstring line = L"\"" + Widen(MERVANE_CONVERTER) + L"\"";
  for (const std::string& arg : args) line += L" \"" + Widen(arg) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  ::WaitForSingleObject(process.hProcess, 60000);
  DWORD status = 0;
  ::GetExitCodeProcess(process.hProcess, &status);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  return static_cast<int>(status);
}

TEST(WindowsErrors, MapToTheNumbersUsersKnow) {
  const struct {
    DWORD error;
    int reading, writing;
  } cases[] = {
      {ERROR_FILE_NOT_FOUND, 53, 53},    {ERROR_PATH_NOT_FOUND, 53, 76},  {ERROR_ACCESS_DENIED, 75, 75},
      {ERROR_SHARING_VIOLATION, 75, 75}, {ERROR_LOCK_VIOLATION, 75, 75},  {ERROR_WRITE_PROTECT, 75, 75},
      {ERROR_DISK_FULL, 61, 61},         {ERROR_HANDLE_DISK_FULL, 61, 61}, {ERROR_INVALID_FUNCTION, 57, 57},
      {ERROR_CRC, 57, 57},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(windows::ErrorNumber(c.error, Access::Read), c.reading) << c.error;
    EXPECT_EQ(windows::ErrorNumber(c.error, Access::Write), c.writing) << c.error;
  }
  EXPECT_EQ(windows::Describe(ERROR_SHARING_VIOLATION), "the file is in use by another program");
}

// The same failures as on other systems, met through real files.
TEST(WindowsErrors, FromRealFiles) {
  TempDir dir;
  const std::string root = dir.root().string() + "\\";
  fs::create_directory(root + "folder.skn");
  test::WriteFile(root + "locked.skn", "old");
  ::SetFileAttributesW(Widen(root + "locked.skn").c_str(), FILE_ATTRIBUTE_READONLY);
  const struct {
    const char* what;
    std::function<void()> f;
    int number;
  } cases[] = {
      {"read a missing file", [&] { ReadWholeFile(root + "none.skn"); }, 53},
      {"read in a missing folder", [&] { ReadWholeFile(root + "no\\none.skn"); }, 53},
      {"read a folder", [&] { ReadWholeFile(root + "folder.skn"); }, 53},
      {"read a device", [&] { ReadWholeFile("NUL"); }, 53},
      {"write in a missing folder", [&] { WriteFileAtomically(root + "no\\x.skn", "x"); }, 76},
      {"write over a folder", [&] { WriteFileAtomically(root + "folder.skn", "x"); }, 75},
      {"write over a read-only file", [&] { WriteFileAtomically(root + "locked.skn", "x"); }, 75},
      {"a name that is not UTF-8", [&] { ReadWholeFile(root + "k\xf6rper.skn"); }, 52},
  };
  for (const auto& c : cases) EXPECT_EQ(FailureNumber(c.f), c.number) << c.what;
  EXPECT_EQ(Bytes(root + "locked.skn"), "old");
  ::SetFileAttributesW(Widen(root + "locked.skn").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Names(dir.root().string()), (std::vector<std::string>{"folder.skn", "locked.skn"}));
}

TEST(WindowsNames, ReservedNamesAndTrailingDotsAreRefused) {
  const struct {
    const char* name;
    bool refused;
  } cases[] = {
      {"CON", true},         {"con.skn", true},     {"Nul.spj", true},    {"AUX", true},
      {"prn.obj", true},     {"COM1.skn", true},    {"com9", true},       {"LPT1.skn", true},
      {"lpt9.tar.gz", true}, {"CON .skn", true},    {"body.", true},      {"body.skn ", true},
      {"COM0.skn", false},   {"COM10.skn", false},  {"console.skn", false}, {"nul_body.skn", false},
      {"body.skn", false},   {"k\xc3\xb6rper.skn", false}, {".skn", false},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(!windows::NameProblem(c.name).empty(), c.refused);
    std::string detail;
    const int number = FailureNumber([&] { WriteFileAtomically(dir.root().string() + "\\" + c.name, "x"); }, &detail);
    if (c.refused) {
      EXPECT_EQ(number, 52);
      EXPECT_NE(detail.find("Windows"), std::string::npos) << detail;
    } else {
      EXPECT_EQ(number, 0) << detail;
    }
  }
  EXPECT_EQ(Names(dir.root().string()).size(), 7u);  // only the allowed names
}

// A program that keeps the target open without sharing it for deletion
// (a modeller, the game) makes the save fail: error 75, every target as it
// was, no temporary file left.
TEST(WindowsSave, TargetHeldOpenByAnotherProgram) {
  const DWORD share_modes[] = {0, FILE_SHARE_READ, FILE_SHARE_READ | FILE_SHARE_WRITE};
  for (const DWORD share : share_modes) {
    for (int locked = 0; locked < 3; ++locked) {
      SCOPED_TRACE("share " + std::to_string(share) + ", file " + std::to_string(locked));
      TempDir dir;
      const std::string names[] = {"p.spj", "p.obj", "p.mtl"};
      std::vector<FileToWrite> files;
      for (const std::string& name : names) {
        test::WriteFile(dir.path(name), "old " + name);
        files.push_back({dir.path(name), "new\r\n"});
      }
      const HANDLE h = ::CreateFileW(Widen(dir.path(names[locked])).c_str(), GENERIC_READ, share, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(h, INVALID_HANDLE_VALUE);
      std::string detail;
      EXPECT_EQ(FailureNumber([&] { WriteFilesAtomically(files); }, &detail), 75);
      EXPECT_NE(detail.find("in use"), std::string::npos) << detail;
      EXPECT_EQ(detail.find(names[locked]), 0u) << detail;
      ::CloseHandle(h);
      for (const std::string& name : names) EXPECT_EQ(Bytes(dir.path(name)), "old " + name);
      EXPECT_EQ(Names(dir.root().string()), (std::vector<std::string>{"p.mtl", "p.obj", "p.spj"}));
      // Once the other program lets go, the same save goes through.
      EXPECT_EQ(FailureNumber([&] { WriteFilesAtomically(files); }), 0);
      EXPECT_EQ(Bytes(dir.path(names[locked])), "new\r\n");
    }
  }
}

// Text mode would turn LF into CR LF, stop at Ctrl-Z and drop CRs: none of it may happen.
TEST(WindowsFiles, BytesPassUntouched) {
  TempDir dir;
  const std::string texts[] = {"a\nb\n", "a\r\nb\r\n", "a\rb\r", std::string("a\x1a" "b\0c", 5), "\r\n\r\n\n\x1a",
                               std::string(200000, '\n')};
  for (const std::string& text : texts) {
    const std::string path = dir.path("t.skn");
    WriteFileAtomically(path, text);
    EXPECT_EQ(Bytes(path), text);
    EXPECT_EQ(ReadWholeFile(path), text);
  }
}

// Every sample and generated skin, converted here, gives the Linux build's
// bytes. scripts/windows.sh has the Linux build write its set first and
// names the folder in MERVANE_LINUX_OUTPUT.
TEST(WindowsFiles, ConverterWritesWhatTheLinuxBuildWrites) {
  const char* linux_set = std::getenv("MERVANE_LINUX_OUTPUT");
  ASSERT_TRUE(linux_set && *linux_set) << "MERVANE_LINUX_OUTPUT names no folder";
  const std::string linux_in = std::string(linux_set) + "/in", linux_out = std::string(linux_set) + "/out";
  TempDir dir;
  fs::create_directories(dir.root() / "in");
  fs::create_directories(dir.root() / "out");
  // The generated skins themselves come out alike, and the conversions read the Linux build's.
  test::WriteGeneratedSkins(dir.path("in"));
  const std::vector<std::string> generated = Names(dir.path("in"));
  ASSERT_EQ(generated, Names(linux_in));
  for (const std::string& name : generated)
    EXPECT_EQ(Bytes(dir.path("in") + "/" + name), Bytes(linux_in + "/" + name)) << name;
  test::ConvertAll(linux_in, MERVANE_SAMPLES, dir.path("out"));
  const std::vector<std::string> written = Names(dir.path("out"));
  ASSERT_EQ(written, Names(linux_out));
  EXPECT_GT(written.size(), 50u);
  for (const std::string& name : written)
    EXPECT_EQ(Bytes(dir.path("out") + "/" + name), Bytes(linux_out + "/" + name)) << name;
}

// A skin in a folder of a user called Zoë, with both separators, opened,
// converted and saved by the converter program through its UTF-16 command line.
TEST(WindowsPaths, UnicodeFoldersAndBothSeparators) {
  TempDir dir;
  const std::string root = dir.root().string();
  const std::string folder = root + "\\Users\\Zo\xc3\xab\\Documents\\Skins";
  fs::create_directories(fs::path(Widen(folder)));
  const std::string skin = test::ReadFile(test::ExamplePath("mannequin.skn"));
  WriteFileAtomically(folder + "\\k\xc3\xb6rper.skn", skin);
  // What the same steps give in-process, on plain names.
  std::ostringstream out, err;
  ASSERT_EQ(RunConverter({test::ExamplePath("mannequin.skn"), root + "\\e.spj"}, out, err), 0) << err.str();
  ASSERT_EQ(RunConverter({root + "\\e.spj", root + "\\e.skn"}, out, err), 0) << err.str();
  const std::string expected = Bytes(root + "\\e.skn");

  const std::string forward = root + "/Users/Zo\xc3\xab/Documents/Skins";
  const struct {
    std::string in, project, out;
  } cases[] = {
      {folder + "\\k\xc3\xb6rper.skn", folder + "\\k\xc3\xb6rper.spj", folder + "\\zur\xc3\xbc" "ck.skn"},
      {forward + "/k\xc3\xb6rper.skn", forward + "/\xe4\xbd\x93.spj", forward + "/back.skn"},
      {root + "\\Users/Zo\xc3\xab\\Documents/Skins\\k\xc3\xb6rper.skn", folder + "/mixed.spj",
       root + "/Users\\Zo\xc3\xab/Documents\\Skins/mixed.skn"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.project);
    EXPECT_EQ(RunConverterProgram({c.in, c.project}), 0);
    EXPECT_EQ(RunConverterProgram({c.project, c.out}), 0);
    EXPECT_EQ(Bytes(c.out), expected);
    EXPECT_TRUE(IsOrdinaryFile(c.project));
    EXPECT_EQ(ReadWholeFile(c.out), expected);
  }
  EXPECT_EQ(Names(folder), (std::vector<std::string>{
                               "back.skn", "k\xc3\xb6rper.mtl", "k\xc3\xb6rper.obj", "k\xc3\xb6rper.skn",
                               "k\xc3\xb6rper.spj", "mixed.mtl", "mixed.obj", "mixed.skn", "mixed.spj",
                               "zur\xc3\xbc" "ck.skn", "\xe4\xbd\x93.mtl", "\xe4\xbd\x93.obj", "\xe4\xbd\x93.spj"}));
  // The texture lookup lists folders through the same boundary.
  WriteFileAtomically(folder + "\\Tex_\xc3\xa9.BMP", "BM");
  EXPECT_EQ(FindFileIgnoringCase(folder + "\\", "tex_\xc3\xa9.bmp"), "Tex_\xc3\xa9.BMP");
  EXPECT_EQ(FindFileIgnoringCase(forward + "/", "TEX_\xc3\xa9.bmp"), "Tex_\xc3\xa9.BMP");
  // One file however its folder and name are spelt.
  const std::string key = PathKey(folder + "\\Tex_\xc3\xa9.BMP");
  for (const std::string& other : {forward + "/TEX_\xc3\xa9.bmp", folder + "\\tex_\xc3\xa9.bmp",
                                   root + "\\USERS\\Zo\xc3\xab\\DOCUMENTS\\.\\Skins\\Tex_\xc3\xa9.BMP"})
    EXPECT_EQ(PathKey(other), key) << other;
  EXPECT_NE(PathKey(folder + "\\Tex_\xc3\xa9.BMP.bak"), key);
}

// Paths past the old 260-character limit work: the file layer hands them to
// Windows in their "\\?\" form.
TEST(WindowsPaths, LongerThan260Characters) {
  TempDir dir;
  std::string folder = dir.root().string();
  while (folder.size() < 320) {
    folder += "\\a_rather_long_folder_name_for_skins_" + std::to_string(folder.size());
    ASSERT_TRUE(::CreateDirectoryW(windows::SystemPath(folder).c_str(), nullptr)) << folder;
  }
  const std::string skn = folder + "\\body.skn", spj = folder + "/body.spj", back = folder + "\\back.skn";
  ASSERT_GT(skn.size(), 330u);
  EXPECT_TRUE(windows::SystemPath(skn).starts_with(L"\\\\?\\"));
  const std::string skin = test::ReadFile(test::ExamplePath("mannequin.skn"));
  WriteFileAtomically(skn, skin);
  EXPECT_TRUE(IsOrdinaryFile(skn));
  EXPECT_EQ(ReadWholeFile(skn), skin);
  std::ostringstream out, err;
  EXPECT_EQ(RunConverter({skn, spj}, out, err), 0) << err.str();
  EXPECT_EQ(RunConverter({spj, back}, out, err), 0) << err.str();
  EXPECT_EQ(RunConverterProgram({spj, folder + "\\program.skn"}), 0);
  EXPECT_EQ(Bytes(back), Bytes(folder + "\\program.skn"));
  EXPECT_EQ(Names(folder), (std::vector<std::string>{"back.skn", "body.mtl", "body.obj", "body.skn", "body.spj",
                                                     "program.skn"}));
  // Short paths are handed over as they are.
  EXPECT_EQ(windows::SystemPath("C:/Skins/body.skn"), L"C:/Skins/body.skn");
}

// Both programs carry their icon and version information.
TEST(WindowsPrograms, IconAndVersionInformation) {
  std::vector<std::string> programs{MERVANE_CONVERTER};
#ifdef MERVANE_GUI_PROGRAM
  programs.push_back(MERVANE_GUI_PROGRAM);
#endif
  const std::string version = std::to_string(MERVANE_VERSION_MAJOR) + "." + std::to_string(MERVANE_VERSION_MINOR) +
                              "." + std::to_string(MERVANE_VERSION_REVISION);
  for (const std::string& program : programs) {
    SCOPED_TRACE(program);
    const std::wstring path = Widen(program);
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
    auto field = [&](const wchar_t* name) {
      void* value = nullptr;
      UINT length = 0;
      const std::wstring key = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
      if (!::VerQueryValueW(info.data(), key.c_str(), &value, &length) || length == 0) return std::string();
      return windows::Narrow(static_cast<const wchar_t*>(value));
    };
    EXPECT_EQ(field(L"FileVersion"), version);
    EXPECT_EQ(field(L"ProductName"), "Mervane");
    EXPECT_EQ(field(L"OriginalFilename"), FileNameOf(program));
    const HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_NE(::FindResourceW(module, L"IDI_ICON1", MAKEINTRESOURCEW(14)), nullptr) << "no icon";  // RT_GROUP_ICON
    EXPECT_NE(::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)), nullptr) << "no manifest";
    ::FreeLibrary(module);
  }
}

// A skin that a program without administrator rights wrote into Skins
// under Program Files lives only in the user's VirtualStore: the check
// names it there.
TEST(WindowsCheck, ASkinOnlyInTheVirtualStoreIsNamed) {
  TempDir dir;
  const std::string program_files = dir.path("PF");
  const std::string skins = program_files + "\\Maxis\\GameData\\Skins";
  fs::create_directories(fs::path(Widen(skins)));
  Environment env;
  env.variable = [&](const std::string& name) -> std::optional<std::string> {
    if (name == "ProgramFiles") return program_files;
    if (name == "LOCALAPPDATA") return dir.path("Local");
    return std::nullopt;
  };
  const std::optional<std::string> store = VirtualStoreOf(skins, env);
  ASSERT_TRUE(store);
  fs::create_directories(fs::path(Widen(*store)));
  test::WriteFile(*store + "\\HMLOlgt.bmp", "BM");
  const CheckReport report = CheckSkins(std::vector<std::string>{skins}, nullptr, &env);
  ASSERT_EQ(report.findings.size(), 1u);
  EXPECT_NE(report.findings[0].message.find("VirtualStore"), std::string::npos) << FindingLine(report.findings[0]);
}

}  // namespace
}  // namespace mervane
