// Project, library and recent-file commands.
#include "MainWinFixture.h"
#include "platform/Files.h"

using namespace mwtest;

namespace {
std::vector<std::string> Captions(QMenu* menu) {
  std::vector<std::string> v;
  for (QAction* a : menu->actions()) v.push_back(a->data().toString().toStdString());
  return v;
}
}  // namespace

TEST_F(MainWinTest, OpenProjectCommandRemembersFolderAndRecentList) {
  const std::string lib = MakeLibrary(Dir, "lib");
  const std::string project = MakeProject(Dir, lib, "p.vtp");
  TForm1& f = NewForm();
  std::string startedIn;
  SetFileDialogHook([&](const TOpenDialog& d, bool) -> std::optional<TFileChoice> {
    startedIn = d.InitialDir;
    return TFileChoice{{project}, 1};
  });
  f.Openvtp1Click();
  EXPECT_EQ(startedIn, DefaultDialogFolder(HomeFolder()));  // no [LastPath] yet
  EXPECT_TRUE(f.ProjectOpen());
  EXPECT_EQ(f.VTLib1.BaseName(), lib);  // the project's library came along
  EXPECT_EQ(Ini("LastPath", "Project"), Dir.Path());
  EXPECT_EQ(Ini("Recentprojects", "Recentproject1"), project);
  EXPECT_EQ(Captions(f.Recentprojects1), std::vector<std::string>{project});
  EXPECT_TRUE(f.Closeproject1->isEnabled());
  EXPECT_FALSE(f.SaveVTP1->isEnabled());
  f.VTMosaic1.Modified = 1;
  f.SetButtonsOnOff();
  EXPECT_TRUE(f.SaveVTP1->isEnabled());
  EXPECT_TRUE(f.SpeedButton5->isEnabled());
}

TEST_F(MainWinTest, RecentListsMoveTheNameToTheFront) {
  TForm1& f = NewForm();
  for (const char* n : {"e.vtp", "d.vtp", "c.vtp", "b.vtp", "a.vtp"}) f.InsertRecentFile(n);
  f.InsertRecentFile("c.vtp");
  EXPECT_EQ(Captions(f.Recentprojects1),
            (std::vector<std::string>{"c.vtp", "a.vtp", "b.vtp", "d.vtp", "e.vtp"}));
  f.InsertRecentFile("f.vtp");
  EXPECT_EQ(Captions(f.Recentprojects1),
            (std::vector<std::string>{"f.vtp", "c.vtp", "a.vtp", "b.vtp", "d.vtp"}));
  f.InsertRecentFile("f.vtp");
  f.InsertRecentFile("F.VTP");  // names compare exactly
  EXPECT_EQ(Captions(f.Recentprojects1),
            (std::vector<std::string>{"F.VTP", "f.vtp", "c.vtp", "a.vtp", "b.vtp"}));
  f.InsertRecentFile("/x/lib.VT2");
  f.InsertRecentFile("/x/A & B.jpg");
  EXPECT_EQ(Ini("Recentlibrarys", "Recentlibrary1"), "/x/lib.VT2");
  EXPECT_EQ(Ini("RecentImages", "RecentImage1"), "/x/A & B.jpg");
  EXPECT_EQ(f.Recentimages1->actions()[0]->text().toStdString(), "/x/A && B.jpg");
  // The lists come back at the next start.
  TForm1& g = NewForm();
  EXPECT_EQ(Captions(g.Recentprojects1).size(), 5u);
  EXPECT_EQ(Captions(g.Recentlibrarys1), std::vector<std::string>{"/x/lib.VT2"});
}

TEST_F(MainWinTest, RecentItemOfAMissingFileDoesNothing) {
  TForm1& f = NewForm();
  f.InsertRecentFile(Dir / "gone.vt2");
  f.RecentMenuClick(f.Recentlibrarys1->actions()[0]);
  EXPECT_FALSE(f.LibraryOpen());
  EXPECT_EQ(Captions(f.Recentlibrarys1).size(), 1u);
  EXPECT_TRUE(Boxes.empty());
}

TEST_F(MainWinTest, OpenPictureNeedsALibraryAndAFile) {
  TForm1& f = NewForm();
  try {
    f.OpenPictureByName(Dir / "x.jpg");
    FAIL();
  } catch (const EVitrane& e) {
    EXPECT_STREQ(e.what(), "Please open library first!");
  }
  f.OpenLibraryByName(MakeLibrary(Dir, "lib"));
  try {
    f.OpenPictureByName(Dir / "x.jpg");
    FAIL();
  } catch (const EVitrane& e) {
    EXPECT_EQ(std::string(e.what()), "File: " + Dir / "x.jpg" + " not found.");
  }
}

TEST_F(MainWinTest, LibraryOfOtherSamplingOffersToCloseTheProject) {
  const std::string lib = MakeLibrary(Dir, "lib");
  const std::string other = MakeLibrary(Dir, "other", 4, 4);
  TForm1& f = NewForm();
  f.OpenVTP(MakeProject(Dir, lib, "p.vtp"));
  f.VTMosaic1.Modified = 1;
  Answer = IDCANCEL;
  EXPECT_FALSE(f.OpenLibraryByName(other));
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text,
            "Library \r" + other + "\r has a different tile sampling.\r Close the current project?\r");
  EXPECT_EQ(Boxes[0].Caption, "Vitrane 2");
  EXPECT_EQ(Boxes[0].Flags, unsigned(MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2));
  EXPECT_EQ(f.VTLib1.BaseName(), lib);

  // OK, then Cancel in the save question: everything stays.
  int answers = 0;
  SetMessageBoxHook([&](const MessageBoxRequest& r) {
    Boxes.push_back(r);
    return ++answers == 1 ? IDOK : IDCANCEL;
  });
  EXPECT_FALSE(f.OpenLibraryByName(other));
  EXPECT_EQ(f.VTLib1.BaseName(), lib);
  EXPECT_TRUE(f.ProjectOpen());

  // OK, then No: the project closes and the library opens.
  answers = 0;
  SetMessageBoxHook([&](const MessageBoxRequest&) { return ++answers == 1 ? IDOK : IDNO; });
  EXPECT_TRUE(f.OpenLibraryByName(other));
  EXPECT_EQ(f.VTLib1.BaseName(), other);
  EXPECT_FALSE(f.ProjectOpen());
  EXPECT_EQ(f.DrawGrid1->ColCount(), 1);
  EXPECT_EQ(f.windowTitle().toStdString(), "Vitrane 2");
}

TEST_F(MainWinTest, FileThatIsNoLibraryIsRefused) {
  TForm1& f = NewForm();
  const std::string lib = MakeLibrary(Dir, "lib");
  f.OpenLibraryByName(lib);
  const std::string junk = Dir / "junk.vt2";
  WriteFileReplacing(junk, std::vector<uint8_t>(200, 7));
  EXPECT_FALSE(f.OpenLibraryByName(junk));
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "File " + junk + " is not Vitrane base and can't be open.");
  EXPECT_EQ(Boxes[0].Flags, unsigned(MB_OK | MB_ICONERROR));
  EXPECT_EQ(f.VTLib1.BaseName(), lib);
}

TEST_F(MainWinTest, SaveAsWritesACopyAndKeepsTheModifiedState) {
  const std::string lib = MakeLibrary(Dir, "lib");
  TForm1& f = NewForm();
  const std::string project = MakeProject(Dir, lib, "p.vtp");
  f.OpenVTP(project);
  f.VTMosaic1.Modified = 1;
  const std::string copy = Dir / "copy.vtp";
  SetFileDialogHook([&](const TOpenDialog&, bool save) -> std::optional<TFileChoice> {
    EXPECT_TRUE(save);
    return TFileChoice{{copy}, 1};
  });
  f.SaveVTPas1Click();
  EXPECT_TRUE(FileExists(copy));
  EXPECT_EQ(f.VTPlan1.BaseName(), project);
  EXPECT_TRUE(f.ProjectModified());
  Answer = IDCANCEL;
  f.Closeproject1Click();  // still asks
  EXPECT_EQ(Boxes.size(), 1u);
  EXPECT_TRUE(f.ProjectOpen());

  // The copy opens as a project of the same size and library.
  TVTData plan, mosaic;
  ASSERT_TRUE(plan.OpenProject(copy, mosaic));
  EXPECT_EQ(plan.Columns, 4);
  EXPECT_EQ(plan.LibraryPath, lib);
}

TEST_F(MainWinTest, RevertAsksOnlyWhenModified) {
  const std::string lib = MakeLibrary(Dir, "lib");
  TForm1& f = NewForm();
  f.OpenVTP(MakeProject(Dir, lib, "p.vtp"));
  f.Revertproject1Click();
  EXPECT_TRUE(Boxes.empty());
  EXPECT_TRUE(f.ProjectOpen());
  f.VTMosaic1.Modified = 1;
  Answer = IDCANCEL;
  f.Revertproject1Click();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Discard all changes and revert to last saved?");
  EXPECT_TRUE(f.ProjectModified());
  Answer = IDOK;
  f.Revertproject1Click();
  EXPECT_FALSE(f.ProjectModified());
  EXPECT_EQ(f.DrawGrid1->ColCount(), 4);
}

TEST_F(MainWinTest, EveryCommandThatReplacesAModifiedProjectAsksFirst) {
  const std::string lib = MakeLibrary(Dir, "lib");
  const std::string a = MakeProject(Dir, lib, "a.vtp"), b = MakeProject(Dir, lib, "b.vtp");
  TForm1& f = NewForm();
  f.InsertRecentFile(b);
  f.OpenVTP(a);
  auto edit = [&] {  // cell 5 takes library tile 2
    f.VTLib1.MoveTo(2);
    ASSERT_TRUE(f.VTMosaic1.SetRecordFrom(5, f.VTLib1, true));
  };
  auto holdsEdit = [&](const std::string& project) {
    f.VTMosaic1.MoveTo(5);
    return f.VTPlan1.BaseName() == project && f.VTMosaic1.CurLink == 2;
  };
  edit();
  SetFileDialogHook([&](const TOpenDialog&, bool) -> std::optional<TFileChoice> {
    return TFileChoice{{b}, 1};
  });
  auto recent = [&](const std::string& name) {  // the menu is built anew whenever it changes
    for (QAction* item : f.Recentprojects1->actions())
      if (item->data().toString().toStdString() == name) return item->trigger();
    ADD_FAILURE() << name << " not listed";
  };

  // Cancel: "Open project...", the recent list and "Close project" keep the edit.
  Answer = IDCANCEL;
  f.Openvtp1->trigger();
  recent(b);
  f.Closeproject1->trigger();
  ASSERT_EQ(Boxes.size(), 3u);
  for (const MessageBoxRequest& r : Boxes) {
    EXPECT_EQ(r.Text, "Project was modified. Save before close?");
    EXPECT_EQ(r.Flags, unsigned(MB_YESNOCANCEL | MB_ICONQUESTION));
  }
  EXPECT_TRUE(holdsEdit(a));
  EXPECT_TRUE(f.ProjectModified());

  // No: the other project opens and the edit is not written.
  Answer = IDNO;
  f.Openvtp1->trigger();
  EXPECT_EQ(f.VTPlan1.BaseName(), b);
  f.OpenVTP(a);
  EXPECT_FALSE(holdsEdit(a));

  // Yes: the edit is saved before the recent project replaces it.
  edit();
  Answer = IDYES;
  recent(b);
  EXPECT_EQ(f.VTPlan1.BaseName(), b);
  EXPECT_EQ(Boxes.size(), 5u);
  f.OpenVTP(a);
  EXPECT_TRUE(holdsEdit(a));
}
