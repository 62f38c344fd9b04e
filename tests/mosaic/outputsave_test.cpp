// The mosaic pictures' writers against a link planted where their new file
// goes and a full disk, and a run ended by a signal: it leaves no work file
// in the temporary folder and no partial picture beside the target.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "common/SaveTraps.h"
#include "common/ScratchDir.h"
#include "mosaic/MosaicTables.h"
#include "mosaic/OutputRender.h"
#include "platform/Bmp.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/WorkFiles.h"
#include "tiledb/NewLibraryParameters.h"
#include "tiledb/VTData.h"

namespace {

using mwtest::MakeLibrary;
using mwtest::MakeProject;
using savetraps::FileErrorOf;
using savetraps::Leftovers;

// A 4 x 3 mosaic filled with tiles, ready to be written.
struct Mosaic {
  explicit Mosaic(const ScratchDir& dir) {
    const std::string lib = MakeLibrary(dir, "lib");
    Filled = mwtest::FillMosaicJob(lib, MakeProject(dir, lib, "p.vtp"), Library, Plan, Tiles, Job, Stop);
    Job.Settings.Width = 64;
    Job.Settings.Height = 48;
  }
  TVTData Library, Plan, Tiles;
  TOutputJob Job;
  bool Stop = false;
  bool Filled = false;
};

TEST(OutputSave, PlantedLinksAreNeverFollowedByThePictureWriters) {
  ScratchDir dir("outsave-links");
  Mosaic m(dir);
  ASSERT_TRUE(m.Filled);
  savetraps::PlantedLinks links(dir / "victim", "the user's other picture");
  Bitmap24 poster;
  ASSERT_TRUE(ComposePoster(m.Job, poster));
  for (const char* name : {"m.jpg", "m.bmp", "m.tif"}) {
    links.Plant(dir / name);
    SavePosterFile(dir / name, poster, m.Job.Settings);
    links.ExpectUntouched();
    EXPECT_FALSE(std::filesystem::is_symlink(dir / name));
  }
  Bitmap24 back;
  ReadBMPFile(dir / "m.bmp", back);
  EXPECT_TRUE(back == poster);
  for (int kind : {1, 2}) {
    const std::string name = dir / (kind == 1 ? "d.bmp" : "d.tif");
    links.Plant(name, ".part");
    ASSERT_TRUE(WriteMosaicDirect(m.Job, name, kind));
    links.ExpectUntouched();
  }
  ReadBMPFile(dir / "d.bmp", back);
  EXPECT_TRUE(back == poster);
  EXPECT_EQ(ReadWholeFile(dir / "d.tif"), ReadWholeFile(dir / "m.tif"));
  EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

TEST(OutputSave, AFullDiskGivesTheSystemsReasonAndKeepsTheOldPicture) {
  ScratchDir dir("outsave-full");
  Mosaic m(dir);
  ASSERT_TRUE(m.Filled);
  Bitmap24 poster;
  ASSERT_TRUE(ComposePoster(m.Job, poster));
  const std::string tif = dir / "m.tif";
  WriteFileReplacing(tif, {'o', 'l', 'd'});
  savetraps::HooksReset reset;
  SetFileWriteHooks({savetraps::NoRoomForSaves, nullptr});
  EXPECT_EQ(FileErrorOf([&] { SavePosterFile(tif, poster, m.Job.Settings); }),
            "Unable to write to " + tif + " (No space left on device)");
  EXPECT_EQ(FileErrorOf([&] { WriteMosaicDirect(m.Job, tif, 2); }),
            "Cannot write file " + tif + ": No space left on device");
  EXPECT_EQ(FileErrorOf([&] { WriteMosaicDirect(m.Job, dir / "m.bmp", 1); }),
            "Cannot write file " + dir / "m.bmp" + ": No space left on device");
  EXPECT_EQ(FileErrorOf([&] { SavePosterFile(dir / "m.jpg", poster, m.Job.Settings); }),
            "Unable to write to " + dir / "m.jpg" + " (No space left on device)");
  EXPECT_EQ(ReadWholeFile(tif), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_FALSE(FileExists(dir / "m.bmp"));
  EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

// Runs body in a child process with the signal handlers of the program and
// its work files in tmp; ready() tells the parent that the run is under way
// and waits there. The parent then sends sig: true when the signal ended
// the child.
template <typename Fn>
bool EndedBySignalDuringRun(const std::string& tmp, int sig, Fn&& body) {
  int fds[2];
  if (::pipe(fds) != 0) return false;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    ::setenv("TMPDIR", tmp.c_str(), 1);
    InstallTerminationCleanup();
    body([fd = fds[1]] {
      const char ready = 1;
      if (::write(fd, &ready, 1) != 1) ::_exit(3);
      for (;;) ::pause();
    });
    ::_exit(4);  // the run ended before it was ready
  }
  ::close(fds[1]);
  char ready = 0;
  const bool started = ::read(fds[0], &ready, 1) == 1;
  ::close(fds[0]);
  EXPECT_TRUE(started);
  // The run's files exist at this point.
  EXPECT_FALSE(std::filesystem::is_empty(tmp));
  ::kill(child, sig);
  int status = 0;
  ::waitpid(child, &status, 0);
  return started && WIFSIGNALED(status) && WTERMSIG(status) == sig;
}

TEST(OutputSave, ASignalDuringARunLeavesNoWorkFileAndNoPartialPicture) {
  ScratchDir dir("outsave-signal");
  const std::string tmp = dir / "tmp", out = dir / "out/";
  std::filesystem::create_directories(tmp);
  std::filesystem::create_directories(out);
  WriteFileReplacing(out + "big.tif", {'o', 'l', 'd'});
  MakeLibrary(dir, "lib");  // the pictures the library build indexes

  // A picture written straight to disk, ended after its first band.
  EXPECT_TRUE(EndedBySignalDuringRun(tmp, SIGTERM, [&](auto ready) {
    Mosaic m(dir);
    if (!m.Filled) ::_exit(6);
    m.Job.Progress = [&](int done, int) {
      if (done > 0) {
        if (Leftovers(out).size() != 1) ::_exit(5);  // the partial picture is there
        ready();
      }
    };
    WriteMosaicDirect(m.Job, out + "big.tif", 2);
  }));
  EXPECT_TRUE(std::filesystem::is_empty(tmp));
  EXPECT_TRUE(Leftovers(out).empty());
  EXPECT_EQ(ReadWholeFile(out + "big.tif"), (std::vector<uint8_t>{'o', 'l', 'd'}));

  // A library being built (its three work files and the table's own).
  for (int sig : {SIGINT, SIGHUP}) {
    EXPECT_TRUE(EndedBySignalDuringRun(tmp, sig, [&](auto ready) {
      TVTData build;
      SetNewLibraryParameters(build, dir / "lib_pics/");
      build.FThreads = 1;
      build.OnCreateBaseProgress = [&](TVTData& t) {
        if (t.FBuildCount > 0) ready();
      };
      build.CreateBase(out + "new.vt2");
    })) << sig;
    EXPECT_TRUE(std::filesystem::is_empty(tmp)) << sig;
    EXPECT_TRUE(Leftovers(out).empty()) << sig;
    EXPECT_FALSE(FileExists(out + "new.vt2"));
  }
}

}  // namespace
