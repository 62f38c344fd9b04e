#include "platform/Files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

#include "platform/Errors.h"
#include "platform/Hooks.h"
#include "platform/TestSupport.h"

namespace {

TEST(Files, TempFilesAreNewEmptyAndPrefixed) {
  TestDir dir("files-tmp");
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", dir.Path().c_str(), 1);
  const std::string a = MakeTempFileName("vt"), b = MakeTempFileName("vt");
  if (old)
    ::setenv("TMPDIR", saved.c_str(), 1);
  else
    ::unsetenv("TMPDIR");
  EXPECT_NE(a, b);
  EXPECT_EQ(ExtractFilePath(a), dir.Path());
  EXPECT_EQ(ExtractFileName(a).rfind("vt", 0), 0u);
  EXPECT_EQ(FileSize(a), 0);
  EXPECT_TRUE(DeleteFile(a));
  EXPECT_TRUE(DeleteFile(b));
  EXPECT_FALSE(FileExists(a));
}

TEST(Files, ReplacingKeepsTheOldFileUntilTheNewOneIsComplete) {
  TestDir dir("files-replace");
  const std::string f = dir.File("out.bin");
  WriteFileReplacing(f, {1, 2, 3});
  EXPECT_EQ(ReadWholeFile(f), (std::vector<uint8_t>{1, 2, 3}));
  WriteFileReplacing(f, {4});
  EXPECT_EQ(ReadWholeFile(f), (std::vector<uint8_t>{4}));
  EXPECT_FALSE(FileExists(f + ".tmp"));
  // A target that cannot be replaced (a folder) leaves no temporary behind.
  const std::string folder = dir.File("folder");
  std::filesystem::create_directories(folder + "/inside");
  EXPECT_THROW(WriteFileReplacing(folder, {1}), EFileError);
  EXPECT_TRUE(DirectoryExists(folder + "/inside"));
  EXPECT_FALSE(FileExists(folder + ".tmp"));
}

TEST(Files, ReplacingThroughALinkKeepsTheLinkAndTheRights) {
  TestDir dir("files-link");
  const std::string real = dir.File("real.ini"), link = dir.File("link.ini");
  WriteText(real, "old");
  ::chmod(real.c_str(), 0640);
  std::filesystem::create_symlink(real, link);
  WriteFileReplacing(link, {'n', 'e', 'w'});
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadText(real), "new");
  struct stat st;
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(Files, ReadingMissingFilesAndFoldersRaises) {
  TestDir dir("files-read");
  EXPECT_THROW(ReadWholeFile(dir.File("missing")), EFileError);
  EXPECT_THROW(ReadWholeFile(dir.Path()), EFileError);
  EXPECT_EQ(FileSize(dir.File("missing")), -1);
  WriteText(dir.File("empty"), "");
  EXPECT_TRUE(ReadWholeFile(dir.File("empty")).empty());
}

TEST(Files, AFileReaderReadsPiecesAndOnlyRegularFiles) {
  TestDir dir("files-pieces");
  const std::string f = dir.File("ten.bin");
  WriteText(f, "0123456789");
  const TFileReader file(f);
  EXPECT_EQ(file.Size(), 10u);
  EXPECT_EQ(file.Name(), f);
  char buf[8] = {};
  EXPECT_EQ(file.ReadAt(3, buf, 4), 4u);
  EXPECT_EQ(std::string(buf, 4), "3456");
  EXPECT_EQ(file.ReadAt(8, buf, 8), 2u);  // the end of the file cuts the read
  EXPECT_EQ(std::string(buf, 2), "89");
  EXPECT_EQ(file.ReadAt(10, buf, 8), 0u);
  EXPECT_EQ(file.ReadAt(1u << 31, buf, 8), 0u);
  EXPECT_EQ(file.ReadRange(7, 100), (std::vector<uint8_t>{'7', '8', '9'}));
  EXPECT_TRUE(file.ReadRange(20, 5).empty());

  auto message = [](const std::string& name) {
    try {
      TFileReader r(name);
    } catch (const EFileError& e) {
      return std::string(e.what());
    }
    return std::string("opened");
  };
  EXPECT_EQ(message(dir.File("missing")),
            "Cannot open file \"" + dir.File("missing") + "\". No such file or directory");
  EXPECT_EQ(message(dir.Path()), "Cannot open file \"" + dir.Path() + "\". Is a directory");
  // A device never ends; it is not read at all.
  EXPECT_EQ(message("/dev/zero"), "Cannot open file \"/dev/zero\". Not a file");
}

namespace {
// A test's write hook: counts its calls and fails the second.
int g_calls = 0;
bool SecondWriteFails(int fd, const void* data, size_t size, int64_t offset) {
  if (++g_calls == 2) {
    errno = ENOSPC;
    return false;
  }
  return ::pwrite(fd, data, size, off_t(offset)) == ssize_t(size);
}
}  // namespace

TEST(Files, GatheredPiecesLandOneAfterAnother) {
  TestDir dir("files-gather");
  const std::string f = dir.File("g.bin");
  // More pieces than one system call takes and more bytes than one writes,
  // some empty; the file around them stays as it was.
  std::vector<uint8_t> source(1 << 20), expected;
  for (size_t i = 0; i < source.size(); ++i) source[i] = uint8_t(i * 7 + i / 251);
  std::vector<TWritePiece> pieces;
  for (size_t k = 0, at = 0; k < 4000; ++k, at = (at + 3 * pieces.back().Size) % (source.size() - 1500)) {
    pieces.push_back({source.data() + at, k % 5 == 0 ? 0 : (k * 389) % 1500});
    expected.insert(expected.end(), source.begin() + long(at),
                    source.begin() + long(at + pieces.back().Size));
  }
  const std::vector<uint8_t> around(expected.size() + 10, 'x');
  WriteBytes(f, around);
  const int fd = ::open(f.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(WriteFileAt(fd, pieces.data(), pieces.size(), 5));
  std::vector<uint8_t> want = around;
  std::copy(expected.begin(), expected.end(), want.begin() + 5);
  EXPECT_TRUE(ReadWholeFile(f) == want);
  // A test's hook takes the pieces one by one; the first failure ends the write.
  SetFileWriteHooks({SecondWriteFails, nullptr});
  const TWritePiece three[] = {{"abc", 3}, {"", 0}, {"de", 2}, {"f", 1}};
  errno = 0;
  EXPECT_FALSE(WriteFileAt(fd, three, 4, 1));
  SetFileWriteHooks({});
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_EQ(g_calls, 2);
  EXPECT_EQ(ReadText(f).substr(0, 5), "xabcx");
  ::close(fd);
}

TEST(Files, NameParts) {
  EXPECT_EQ(ExtractFileName("/a/b.c/d.JPG"), "d.JPG");
  EXPECT_EQ(ExtractFilePath("/a/b.c/d.JPG"), "/a/b.c/");
  EXPECT_EQ(ExtractFileExt("/a/b.c/d.JPG"), ".JPG");
  EXPECT_EQ(ExtractFileExt("/a/b.c/noext"), "");
  EXPECT_EQ(ExtractFileExt("c:\\x.y\\file"), "");
  EXPECT_EQ(ChangeFileExt("/a/b.vt2", ".vtp"), "/a/b.vtp");
  EXPECT_EQ(ChangeFileExt("/a/b", ".vtp"), "/a/b.vtp");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a/"), "/a/");
  EXPECT_EQ(UpperCase("a.jPg"), "A.JPG");
  EXPECT_EQ(LowerCase("A.JPG"), "a.jpg");
  EXPECT_EQ(ProgramFolder().back(), '/');
}

TEST(Files, ProgramFolderOnlyFromTheProgramsFile) {
  TestDir dir("files-folders");
  std::filesystem::create_symlink("/opt/vitrane/bin/vitrane", dir.File("exe"));
  std::filesystem::create_symlink("relative/vitrane", dir.File("rel"));
  SetProgramFileLink(dir.File("exe"));
  EXPECT_EQ(ProgramFolder(), "/opt/vitrane/bin/");
  SetProgramFileLink(dir.File("missing"));
  EXPECT_EQ(ProgramFolder(), "");
  SetProgramFileLink(dir.File("rel"));
  EXPECT_EQ(ProgramFolder(), "");
  SetProgramFileLink("");
}

TEST(Files, TickCounterMovesForward) {
  const uint32_t a = GetTickMs();
  const uint32_t b = GetTickMs();
  EXPECT_LE(a, b);
}

TEST(Hooks, HeadlessBoxesAreRecordedAndAnsweredByTheDefault) {
  ClearHeadlessMessages();
  EXPECT_EQ(MessageBox("Save?", "Vitrane 2", MB_YESNOCANCEL | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(MessageBox("Sure?", "Vitrane 2", MB_OKCANCEL), IDOK);
  EXPECT_EQ(MessageDlg("Go on?", mtConfirmation, mbNo | mbCancel), mrNo);
  ASSERT_EQ(HeadlessMessages().size(), 3u);
  EXPECT_EQ(HeadlessMessages()[2].Caption, "Confirm");
  SetHeadlessAnswer(IDCANCEL);
  EXPECT_EQ(MessageBox("Save?", "Vitrane 2", MB_YESNOCANCEL), IDCANCEL);
  SetHeadlessAnswer(0);
  int asked = 0;
  SetMessageBoxHook([&](const MessageBoxRequest& r) {
    ++asked;
    return r.Text == "x" ? IDYES : IDNO;
  });
  EXPECT_EQ(MessageBox("x", "c", MB_YESNO), IDYES);
  SetMessageBoxHook(nullptr);
  EXPECT_EQ(asked, 1);
  int pumped = 0;
  ProcessMessages();
  SetPumpHook([&] { ++pumped; });
  ProcessMessages();
  SetPumpHook(nullptr);
  EXPECT_EQ(pumped, 1);
  ClearHeadlessMessages();
}

}  // namespace
