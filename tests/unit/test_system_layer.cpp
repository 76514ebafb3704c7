// The decisions the Win32 system layer takes on what the system reports.
#include <gtest/gtest.h>

#include <set>

#include "core/RuntimeError.h"
#include "core/Text.h"
#include "core/Win32Values.h"
#include "platform/SupportLogRules.h"
#include "platform/System.h"
#include "platform/SystemRules.h"

namespace norq {

namespace {
// The bits the rules read, pinned to the system's beside the calls
// (platform/win32), and bits that count for nothing: read-only, archive, normal.
constexpr std::uint32_t H = kFileAttributeHidden, S = kFileAttributeSystem, D = kFileAttributeDirectory;
constexpr std::uint32_t kReparse = kFileAttributeReparsePoint;
constexpr std::uint32_t kReadOnly = 0x1, kArchive = 0x20, kNormal = 0x80;
}  // namespace

TEST(ExistenceTest, CountsPlainFilesAndWhatTheMaskAdmits) {
  const struct { std::uint32_t attributes; unsigned mask; bool present; } cases[] = {
      {kArchive, kAttrNormal, true}, {kReadOnly, kAttrNormal, true}, {kNormal, kAttrNormal, true},
      {H, kAttrNormal, false},       {H, kAttrHidden, true},         {H | kReadOnly, kAttrReadOnly, false},
      {S, kAttrNormal, false},       {S, kAttrSystem, true},         {S, kAttrHidden, false},
      {H | S, kAttrHidden, false},   {H | S, kAttrHidden | kAttrSystem, true},
      {D, kAttrNormal, false},       {D | H, kAttrHidden | kAttrSystem, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CountsAsPresent(c.attributes, c.mask), c.present) << std::hex << c.attributes << " mask " << c.mask;
  }
}

TEST(Waits, ASplitWaitEndsWithTheWholeOneAndForeverStaysForever) {
  const struct { std::uint32_t timeout; std::uint64_t spent; std::uint32_t left; } cases[] = {
      {2000, 0, 2000}, {2000, 1999, 1}, {2000, 2000, 0}, {2000, 1u << 20, 0}, {kWaitForever, 0, kWaitForever},
      {kWaitForever, 5'000'000'000ull, kWaitForever},  // longer than the timeout's own range
      {kWaitForever - 1, 5'000'000'000ull, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(WaitLeft(c.timeout, c.spent), c.left) << c.timeout << " " << c.spent;
}

// A marker is written only into a plain file with one name: a link or a
// second name would carry the write to another file. Creating it anew never
// replaced a hidden or system file, and opening it in place does not either.
TEST(MarkerFile, OnlyAPlainFileWithOneNameIsWritten) {
  const struct { std::uint32_t attributes, links; bool existed; MarkerFile kind; } cases[] = {
      {kArchive, 1, true, MarkerFile::Plain},           {kNormal, 1, false, MarkerFile::Plain},
      {kArchive | kReparse, 1, true, MarkerFile::Link}, {kReparse, 2, true, MarkerFile::Link},
      {kArchive, 2, true, MarkerFile::SecondName},      {kReadOnly, 7, true, MarkerFile::SecondName},
      {kArchive, 0, true, MarkerFile::SecondName},      {D | kReparse, 1, true, MarkerFile::Link},  // a mount point
      {H, 1, true, MarkerFile::Hidden},                 {S | kArchive, 1, true, MarkerFile::Hidden},
      {H | kReparse, 1, true, MarkerFile::Link},        {H, 1, false, MarkerFile::Plain},  // made just now
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifyMarker(c.attributes, c.links, c.existed), c.kind)
        << std::hex << c.attributes << " links " << c.links << " existed " << c.existed;
  }
  EXPECT_STREQ(MarkerRefusal(MarkerFile::Plain), L"");
  const std::set<std::wstring> refusals = {MarkerRefusal(MarkerFile::Link), MarkerRefusal(MarkerFile::SecondName),
                                           MarkerRefusal(MarkerFile::Hidden)};
  EXPECT_EQ(refusals.size(), 3u);
}

TEST(StartPath, AHeldFileStartsByItsPlainPathWhenItIsShortEnough) {
  const std::wstring deep = L"C:\\" + std::wstring(300, L'd') + L"\\setup.exe";
  const struct { std::wstring final, start; } cases[] = {
      {L"\\\\?\\C:\\pkg\\norq_setup.exe", L"C:\\pkg\\norq_setup.exe"},
      {L"\\\\?\\UNC\\server\\share\\norq_setup.exe", L"\\\\server\\share\\norq_setup.exe"},
      {L"\\\\?\\" + deep, L"\\\\?\\" + deep},  // too long for the plain form
      {L"\\\\?\\C:\\" + std::wstring(256, L'x'), L"C:\\" + std::wstring(256, L'x')},  // 259 and the null
      {L"\\\\?\\C:\\" + std::wstring(257, L'x'), L"\\\\?\\C:\\" + std::wstring(257, L'x')},
      {L"\\\\?\\Volume{1234}\\setup.exe", L"\\\\?\\Volume{1234}\\setup.exe"},  // no drive letter: as given
      {L"C:\\pkg\\norq_setup.exe", L"C:\\pkg\\norq_setup.exe"},
  };
  for (const auto& c : cases) EXPECT_EQ(StartPathFor(c.final), c.start) << c.final;
}

TEST(ProgramFolder, IsTheModulePathUpToItsLastSeparatorRootsKeepTheirs) {
  const struct { std::wstring module, folder; } cases[] = {
      {L"C:\\pkg\\norq_installer.exe", L"C:\\pkg"},
      {L"C:\\My Files\\a\\norq_installer.exe", L"C:\\My Files\\a"},
      {L"C:\\norq_installer.exe", L"C:\\"}, {L"\\\\?\\C:\\norq_installer.exe", L"\\\\?\\C:\\"},
      {L"\\\\?\\C:\\pkg\\norq_installer.exe", L"\\\\?\\C:\\pkg"},
      {L"\\\\server\\share\\norq_installer.exe", L"\\\\server\\share"},
      {L"norq_installer.exe", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(FolderOfModule(c.module), c.folder) << c.module;
}

TEST(PathBuffer, GrowsUntilThePathFitsAndStopsAtTheLimit) {
  const struct { std::size_t answer, size, next; } cases[] = {
      {12, 260, 0},       {259, 260, 0},         // fit: the answer is the length
      {260, 260, 520},                           // cut short, filling the buffer
      {300, 260, 520},    {1000, 260, 1000},     // the size the call needs
      {40000, 32768, kPathBufferLimit}, {1u << 30, 260, kPathBufferLimit},
      {kPathBufferLimit, kPathBufferLimit, kPathBufferLimit},  // cannot grow
  };
  for (const auto& c : cases) EXPECT_EQ(NextPathBuffer(c.answer, c.size), c.next) << c.answer << " in " << c.size;
}

TEST(TargetFile, TheLandingFileLiesBesideTheTargetAndTheRenameNamesTheTargetInFull) {
  const std::wstring target = L"C:\\Windows\\system32\\MCI32.OCX";
  EXPECT_EQ(LandingNameFor(target, 0x0123456789abcdefull), target + L".0123456789abcdef.tmp");
  EXPECT_EQ(LandingNameFor(target, 0xf), target + L".000000000000000f.tmp");  // the whole number, always
  EXPECT_EQ(FolderOfModule(LandingNameFor(target, 1)), FolderOfModule(target));
  // The rename names the target as the file system does.
  const struct { std::wstring path, name; } cases[] = {
      {L"C:\\Windows\\system32\\comcat.dll", L"\\??\\C:\\Windows\\system32\\comcat.dll"},
      {L"\\\\server\\share\\norq_setup.exe", L"\\??\\UNC\\server\\share\\norq_setup.exe"},
      {L"\\\\?\\C:\\pkg\\norq_setup.exe", L"\\??\\C:\\pkg\\norq_setup.exe"},
      {L"\\\\?\\UNC\\server\\share\\x.exe", L"\\??\\UNC\\server\\share\\x.exe"},
  };
  for (const auto& c : cases) EXPECT_EQ(FileSystemName(c.path), c.name) << c.path;
}

TEST(SupportLogFile, EachLineIsStampedEscapedUtf8EndingInCrLfAndAFullFileMakesWay) {
  const LogStamp stamp{2026, 3, 7, 9, 5, 1, 42, 1234};
  EXPECT_EQ(SupportLogLine(stamp, L"OEM name: 测试版"),
            "2026-03-07 09:05:01.042 [1234] OEM name: \xe6\xb5\x8b\xe8\xaf\x95\xe7\x89\x88\r\n");
  EXPECT_EQ(SupportLogLine(stamp, L"reply http://a/\r\n"), "2026-03-07 09:05:01.042 [1234] reply http://a/\\r\\n\r\n");
  const struct { std::wstring text; std::string utf8; } cases[] = {
      {L"abc", "abc"}, {L"\x00e9", "\xc3\xa9"},
      {{wchar_t(0xD83D), wchar_t(0xDE00)}, "\xf0\x9f\x98\x80"},  // a pair from UTF-16
      {{wchar_t(0xD83D), L'x'}, "\xef\xbf\xbdx"},                 // a lone half
      {{wchar_t(0xDE00)}, "\xef\xbf\xbd"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8Of(c.text), c.utf8);
  EXPECT_EQ(OneLine(L"测试\t版\x1b\x7f"), L"测试\\t版\\x1b\\x7f");
  // A file over one megabyte makes way for a new one.
  for (std::uint64_t size : {0ull, 1ull << 20}) EXPECT_FALSE(SupportLogIsFull(size)) << size;
  for (std::uint64_t size : {(1ull << 20) + 1, 5'000'000'000ull}) EXPECT_TRUE(SupportLogIsFull(size)) << size;
  EXPECT_EQ(OlderSupportLog(L"C:\\ProgramData\\norq\\norq_installer.log"), L"C:\\ProgramData\\norq\\norq_installer.log.1");
}

// Wine reports every folder's owner as the user's own account (or S-1-5-7 for another Unix user's)
// and a symbolic link as the folder it leads to, so only some rows can be shown end to end.
TEST(SupportLogFile, OnlyAFolderThatOnlyAdministratorsCouldHaveMadeHoldsTheLog) {
  EXPECT_EQ(SupportLogFolder(L"C:\\ProgramData"), L"C:\\ProgramData\\norq");
  EXPECT_EQ(SupportLogFolder(L"D:\\"), L"D:\\norq");
  constexpr std::uint32_t kFolder = D, kLink = kReparse;
  const struct { std::uint32_t attributes; bool directory; const wchar_t* owner; bool madeNow, usable; } folders[] = {
      {kFolder, true, L"S-1-5-18", false, true},                 // SYSTEM
      {kFolder, true, L"S-1-5-32-544", false, true},             // Administrators
      {kFolder | kReadOnly, true, L"S-1-5-32-544", false, true},
      {kFolder, true, L"S-1-5-21-1-2-3-1001", false, false},     // a user, administrator or not
      {kFolder, true, L"S-1-5-32-545", false, false},            // Users
      {kFolder, true, L"S-1-5-7", false, false},                 // anonymous: Wine's "another Unix user"
      {kFolder, true, L"", false, false},                        // no owner could be read
      {kFolder, true, L"S-1-5-32-5440", false, false},
      {kFolder, true, L"S-1-5-21-1-2-3-1001", true, true},       // made by this run
      {kFolder | kLink, true, L"S-1-5-32-544", false, false},    // a junction or link, whoever owns it
      {kFolder | kLink, true, L"S-1-5-18", true, false},
      {0, false, L"S-1-5-18", false, false},                     // a file of that name
      {kFolder, false, L"S-1-5-18", false, false},
  };
  for (const auto& c : folders) {
    EXPECT_EQ(LogFolderUsable(c.attributes, c.directory, c.owner, c.madeNow), c.usable)
        << std::hex << c.attributes << " " << c.owner << " " << c.madeNow;
  }
  const struct { std::uint32_t attributes; bool directory; std::uint32_t links; bool usable; } files[] = {
      {kNormal, false, 1, true},         {kArchive, false, 1, true},  {kArchive, false, 2, false}, {kArchive, false, 0, false},
      {kArchive | kLink, false, 1, false}, {kFolder, true, 1, false}, {0, true, 1, false}};
  for (const auto& c : files) {
    EXPECT_EQ(LogFileUsable(c.attributes, c.directory, c.links), c.usable) << std::hex << c.attributes << " " << c.links;
  }
}

// The number in the report is what the user has always seen for the failure.
TEST(FileError, EachWin32CodeGivesTheNumberTheUserHasAlwaysSeen) {
  const struct { std::uint32_t win32; int number; } cases[] = {
      {kErrorFileNotFound, 53},     {kErrorPathNotFound, 76},     {kErrorAccessDenied, 70},
      {kErrorWriteProtect, 70},     {kErrorSharingViolation, 70}, {kErrorInvalidDrive, 71},
      {kErrorNotReady, 71},         {kErrorHandleDiskFull, 61},   {kErrorDiskFull, 61},
      {kErrorInvalidName, 52},      {kErrorNoMoreFiles, 75},      {kErrorInternalError, 75},
  };
  for (const auto& c : cases) EXPECT_EQ(static_cast<int>(FileErrorFor(c.win32)), c.number) << c.win32;
}

}  // namespace norq
