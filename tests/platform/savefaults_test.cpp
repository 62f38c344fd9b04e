// Saves where the system gives no locks, links that other users plant in a
// shared folder, and a settings file too large to touch.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "common/SaveTraps.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/TestSupport.h"
#include "platform/Utils.h"

namespace {

using savetraps::FileErrorOf;
using savetraps::Leftovers;

std::string SaveNew(const std::string& f) {
  return FileErrorOf([&] { WriteFileReplacing(f, {'n', 'e', 'w'}); });
}

int g_lockError = 0;
int FailingLock(int, int) {
  errno = g_lockError;
  return -1;
}

TEST(SaveFaults, WithoutLocksSavesGoOnAndAFailingLockLeavesNothing) {
  savetraps::HooksReset reset;
  SetFileWriteHooks({nullptr, nullptr, FailingLock});
  for (const int error : {ENOLCK, EOPNOTSUPP, EINVAL, EIO}) {
    g_lockError = error;
    const bool saves = error != EIO;
    TestDir dir("savefaults-locks");
    const std::string f = dir.File("project.vtp"), ini = dir.File("vt002.ini"), reason = std::strerror(error);
    WriteText(f, "old");
    EXPECT_EQ(SaveNew(f), saves ? "" : "Cannot create file \"" + f + "\". " + reason);
    ClearHeadlessMessages();
    IniWriteInteger(ini, "S", "A", 1);
    IniWriteInteger(ini, "S", "B", 2);
    EXPECT_EQ(ReadText(f) + ReadText(ini), saves ? "new[S]\nA=1\nB=2\n" : "old");
    // Said once, with the system's reason.
    EXPECT_EQ(HeadlessMessages().size(), saves ? 0u : 1u);
    for (const auto& m : HeadlessMessages())
      EXPECT_EQ(m.Text, "Unable to write to " + ini + " (" + reason + ")");
    EXPECT_TRUE(Leftovers(dir.Path()).empty()) << reason;
  }
}

// Another user's link, also one put at the name between the check of its
// links and the write (owner 1 below), which the rename then replaces.
std::string g_victim;
void PlantLink(const std::string& at) {
  std::filesystem::create_symlink(g_victim, at);
  ::lchown(at.c_str(), 54321, 0);
}

TEST(SaveFaults, InAStickySharedFolderOnlyTheUsersAndTheOwnersLinksAreFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a link another owner needs root";
  savetraps::HooksReset reset;
  for (const uid_t owner : {0u, 54321u, 1u}) {
    TestDir dir("savefaults-links");
    const bool raced = owner == 1;
    const std::string shared = dir.File("shared"), target = shared + "/mosaic.bmp";
    g_victim = dir.File("victim");
    std::filesystem::create_directory(shared);
    WriteText(g_victim, "old");
    SetFileWriteHooks({nullptr, nullptr, nullptr, raced ? PlantLink : nullptr});
    if (!raced) PlantLink(target);
    ASSERT_EQ(::chown(shared.c_str(), raced ? 0 : owner, 0) | ::chmod(shared.c_str(), 01777), 0);
    EXPECT_EQ(SaveNew(target),
              owner != 0
                  ? ""
                  : "Not saved: \"" + target +
                        "\" is a link owned by another user in a shared folder, "
                        "and such a link is never followed. Save under another name or in another folder.");
    EXPECT_EQ(ReadText(g_victim), owner == 54321 ? "new" : "old");
    EXPECT_TRUE(std::filesystem::is_symlink(target) != raced && Leftovers(shared).empty() &&
                Leftovers(dir.Path()).empty());
  }
}

TEST(SaveFaults, ASettingsFileOverFourMegabytesIsSaidOnceARunAndLeftAsItIs) {
  TestDir dir("savefaults-large");
  const std::string ini = dir.File("vt002.ini"),
                    text = "[LayOut]\n;" + std::string(size_t(kMaxSettingsBytes), 'x');
  WriteText(ini, text);
  ClearHeadlessMessages();
  // What an exit writes: the main window's keys, then five windows' bounds.
  IniWriteString(ini, "StartUp", "LastBase", "");
  for (const char* form : {"MainForm", "SourceForm", "ManualForm", "TilePreview", "LibraryInspector"})
    SaveBoundsValue(ini, "LayOut", form, TRect(10, 20, 810, 620));
  ASSERT_EQ(HeadlessMessages().size(), 1u);
  EXPECT_EQ(HeadlessMessages()[0].Text,
            "The settings file " + ini +
                " is larger than 4 MB, so it is neither read nor written: this run "
                "starts from the default settings and keeps none of its changes.\r"
                "Delete the file (a new one is made) or shorten it to less than 4 MB.");
  EXPECT_EQ(ReadText(ini), text);
  EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

}  // namespace
