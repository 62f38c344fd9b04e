// The mosaic pictures' writers against a link planted where their new file
// goes and a full disk, and a run ended by a signal: it leaves no work file
// in the temporary folder and no partial picture beside the target.
#include <gtest/gtest.h>
#include <signal.h>

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
  EXPECT_EQ(ReadWholeFile(tif), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

TEST(OutputSave, ASignalDuringARunLeavesNoWorkFileAndNoPartialPicture) {
  ScratchDir dir("outsave-signal");
  const std::string tmp = dir / "tmp", out = dir / "out/";
  std::filesystem::create_directories(tmp);
  std::filesystem::create_directories(out);
  WriteFileReplacing(out + "big.tif", {'o', 'l', 'd'});
  MakeLibrary(dir, "lib");  // the pictures the library build indexes
  // Each run is a child with the program's signal handlers and its work
  // files in tmp, ended by a signal once under way: a picture written
  // straight to disk, and a library being built.
  auto run = [&](int sig, auto&& body) {
    savetraps::Child child([&](const auto& ready) {
      ::setenv("TMPDIR", tmp.c_str(), 1);
      InstallTerminationCleanup();
      body(ready);
    });
    EXPECT_TRUE(child.Ready());
    EXPECT_FALSE(std::filesystem::is_empty(tmp));  // the run's files exist
    EXPECT_TRUE(child.Kill(sig)) << sig;
    EXPECT_TRUE(std::filesystem::is_empty(tmp)) << sig;
    EXPECT_TRUE(Leftovers(out).empty()) << sig;
  };
  run(SIGTERM, [&](const auto& ready) {
    Mosaic m(dir);
    m.Job.Progress = [&](int done, int) {
      if (done > 0 && Leftovers(out).size() == 1) ready();  // the partial picture is there
    };
    WriteMosaicDirect(m.Job, out + "big.tif", 2);
  });
  EXPECT_EQ(ReadWholeFile(out + "big.tif"), (std::vector<uint8_t>{'o', 'l', 'd'}));
  for (int sig : {SIGINT, SIGHUP})
    run(sig, [&](const auto& ready) {
      TVTData build;
      SetNewLibraryParameters(build, dir / "lib_pics/");
      build.FThreads = 1;
      build.OnCreateBaseProgress = [&](TVTData& t) {
        if (t.FBuildCount > 0) ready();
      };
      build.CreateBase(out + "new.vt2");
    });
  EXPECT_FALSE(FileExists(out + "new.vt2"));
}

}  // namespace
