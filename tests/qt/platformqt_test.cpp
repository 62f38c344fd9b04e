// File dialogs, window bounds, pictures in group boxes, image views and help.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QGroupBox>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "imaging/Bitmap32.h"
#include "platform/Files.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/qt/CloseBox.h"
#include "platform/qt/Desktop.h"
#include "platform/qt/FileDialogs.h"
#include "platform/qt/FormUtils.h"
#include "platform/qt/QtHooks.h"
#include "platform/qt/QtImage.h"
#include "qt/TestApp.h"

namespace fs = std::filesystem;

namespace {

struct TmpDir {
  std::string path;
  TmpDir() {
    const char* base = std::getenv("VT_TEST_TMP");
    fs::path p = fs::path(base ? base : fs::temp_directory_path().string()) / "platformqt";
    fs::create_directories(p);
    path = p.string() + "/";
  }
  ~TmpDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

// Message boxes answered by the headless recorder.
struct Headless {
  explicit Headless(int answer) {
    SetMessageBoxHook(nullptr);
    ClearHeadlessMessages();
    SetHeadlessAnswer(answer);
  }
  ~Headless() {
    SetHeadlessAnswer(0);
    InstallQtHooks();
  }
};

TEST(FileDialogs, FiltersAreSplitIntoQtNameFilters) {
  const auto entries = ParseFilter("JPEG|*.jpg;*.jpeg|All files|*.*");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].Text, "JPEG");
  EXPECT_EQ(entries[0].Patterns, (std::vector<std::string>{"*.jpg", "*.jpeg"}));
  EXPECT_EQ(QtNameFilters("JPEG|*.jpg;*.jpeg|All files|*.*"),
            (QStringList{"JPEG (*.jpg *.jpeg)", "All files (*)"}));
  EXPECT_EQ(QtNameFilters("vtp|*.vtp|dangling"), QStringList{"vtp (*.vtp)"});
  EXPECT_TRUE(ParseFilter("").empty());
  EXPECT_EQ(ApplyDefaultExt("/a/b/mosaic", "vtp"), "/a/b/mosaic.vtp");
  EXPECT_EQ(ApplyDefaultExt("/a/b.c/mosaic.jpg", "vtp"), "/a/b.c/mosaic.jpg");
  EXPECT_EQ(ApplyDefaultExt("/a/b.c/mosaic", ""), "/a/b.c/mosaic");
}

TEST(FileDialogs, TypedExtensionNamesItsFilterEntry) {
  const std::string f = "Tiff|*.tif|Jpeg|*.jpg|BMP|*.bmp|Sequence|*.bmp|All|*.*";
  EXPECT_EQ(FilterIndexOfName(f, "/d.x/a.TIF", 2), 1);
  EXPECT_EQ(FilterIndexOfName(f, "a.bmp", 2), 3);  // the first entry of the extension ...
  EXPECT_EQ(FilterIndexOfName(f, "a.bmp", 4), 4);  // ... unless the chosen one holds it too
  for (const char* name : {"a.png", "a", "/d.tif/a", "a."})
    EXPECT_EQ(FilterIndexOfName(f, name, 2), 0) << name;
}

TEST(CloseBox, OnlyTheWindowManagersDeleteMessageAsksToClose) {
  xcb_client_message_event_t m{};
  m.response_type = XCB_CLIENT_MESSAGE | 0x80;  // sent by another client
  m.format = 32;
  m.window = 0x2a00007;
  m.type = 300;
  m.data.data32[0] = 301;
  EXPECT_EQ(CloseBoxWindow(&m, 300, 301), 0x2a00007u);
  EXPECT_EQ(CloseBoxWindow(&m, 300, 302), 0u);  // another protocol message (a ping)
  EXPECT_EQ(CloseBoxWindow(&m, 299, 301), 0u);
  m.response_type = XCB_KEY_PRESS;
  EXPECT_EQ(CloseBoxWindow(&m, 300, 301), 0u);
}

TEST(FileDialogs, SaveAddsTheDefaultExtensionAndAsksBeforeReplacing) {
  TestApp();
  TmpDir tmp;
  std::ofstream(tmp.path + "old.vtp") << "x";
  std::string chosen;
  SetFileDialogHook([&](const TOpenDialog& d, bool save) -> std::optional<TFileChoice> {
    EXPECT_TRUE(save);
    EXPECT_EQ(d.Filter, "vtp|*.vtp");
    return TFileChoice{{chosen}, 1};
  });
  TSaveDialog dlg;
  dlg.Filter = "vtp|*.vtp";
  dlg.DefaultExt = "vtp";
  dlg.Options = ofOverwritePrompt;
  chosen = tmp.path + "new";
  ASSERT_TRUE(dlg.Execute());
  EXPECT_EQ(dlg.FileName, tmp.path + "new.vtp");
  {
    Headless no(IDNO);
    chosen = tmp.path + "old";
    EXPECT_FALSE(dlg.Execute());
    ASSERT_EQ(HeadlessMessages().size(), 1u);
    EXPECT_EQ(HeadlessMessages()[0].Text, tmp.path + "old.vtp already exists.\nDo you want to replace it?");
  }
  {
    Headless yes(IDYES);
    EXPECT_TRUE(dlg.Execute());
    EXPECT_EQ(dlg.FileName, tmp.path + "old.vtp");
  }
  SetFileDialogHook([](const TOpenDialog&, bool) { return std::optional<TFileChoice>(); });
  EXPECT_FALSE(dlg.Execute());
  SetFileDialogHook(nullptr);
}

TEST(FormBounds, SavedBoundsComeBackAndADialogOnlyMoves) {
  TestApp();
  TmpDir tmp;
  const std::string ini = tmp.path + "vt002.ini";
  QWidget form;
  form.move(10, 20);
  form.resize(600, 400);
  EXPECT_EQ(FormBounds(&form), TRect(10, 20, 610, 420));
  SaveFormBounds(ini, "LayOut", "MainForm", &form);
  EXPECT_EQ(TIniFile(ini).ReadString("LayOut", "MainForm", ""), "10,20,610,420");
  QWidget other;
  other.resize(300, 200);
  LoadFormBounds(ini, "LayOut", "MainForm", &other);
  EXPECT_EQ(FormBounds(&other), TRect(10, 20, 610, 420));
  QWidget dialog;
  dialog.setFixedSize(300, 200);
  ASSERT_TRUE(IsDialogStyle(&dialog));
  LoadFormBounds(ini, "LayOut", "MainForm", &dialog);
  EXPECT_EQ(FormBounds(&dialog), TRect(10, 20, 310, 220));
  for (const char* bad : {"10,20,610", "10,,610,420", "10,420,610,20", "", "a,b,c,d"}) {
    TIniFile(ini).WriteString("LayOut", "MainForm", bad);
    LoadFormBounds(ini, "LayOut", "MainForm", &other);
    EXPECT_EQ(FormBounds(&other), TRect(10, 20, 610, 420)) << bad;
  }
  TIniFile(ini).WriteString("LayOut", "MainForm", "1,2,3,4,5");
  LoadFormBounds(ini, "LayOut", "MainForm", &other);
  EXPECT_EQ(FormBounds(&other), TRect(1, 2, 3, 4));
}

TEST(FormBounds, ClampedToTheScreenAndWrittenBackSo) {
  TestApp();
  TmpDir tmp;
  const std::string ini = tmp.path + "bounds.ini";
  ASSERT_EQ(AvailableScreenAreas(), std::vector<TRect>{TRect(0, 0, 800, 800)});  // the offscreen screen
  auto load = [&](const char* text, QWidget& w) {
    TIniFile(ini).WriteString("LayOut", "Form", text);
    LoadFormBounds(ini, "LayOut", "Form", &w);
    return FormBounds(&w);
  };
  QWidget form;
  form.setMinimumSize(508, 390);
  EXPECT_EQ(load("-2147483648,-2147483648,2147483647,2147483647", form), TRect(0, 0, 800, 800));
  EXPECT_EQ(load("2147483000,10,2147483647,20", form), TRect(153, 10, 800, 400));
  SaveFormBounds(ini, "LayOut", "Form", &form);
  EXPECT_EQ(TIniFile(ini).ReadString("LayOut", "Form", ""), "153,10,800,400");
  // A dialog keeps its size and is moved onto the screen.
  QWidget dialog;
  dialog.setFixedSize(300, 200);
  EXPECT_EQ(load("790,790,800,800", dialog), TRect(500, 600, 800, 800));
}

TEST(FormBounds, PictureFittedOrStretchedInAGroupBox) {
  TestApp();
  QGroupBox box("Preview");
  box.resize(200, 200);
  TImage image(&box);
  Bitmap24 pic(400, 300);
  pic.Fill(RGB(50, 60, 70));
  image.SetPicture(pic);
  ShowImageStretched(&image, &box);
  // Area (1, 10, 199, 199): 198 wide, 148.5 high rounds to 148, top 20.5 to 20.
  EXPECT_EQ(image.geometry(), QRect(1, 30, 198, 148));
  EXPECT_TRUE(image.Stretch());
  EXPECT_EQ(image.Picture().Width(), 400);
  ShowImageFitted(&image, &box);
  EXPECT_FALSE(image.Stretch());
  EXPECT_EQ(image.geometry(), QRect(1, 30, 198, 148));
  ASSERT_EQ(image.Picture().Width(), 198);
  ASSERT_EQ(image.Picture().Height(), 148);
  EXPECT_EQ(image.Picture().Pixel(100, 70), RGB(50, 60, 70));
}

TEST(QtImage, BitmapsAreWrappedWithoutCopying) {
  Bitmap24 b(3, 2);
  b.SetPixel(2, 1, RGB(1, 2, 3));
  const QImage view = Bitmap24View(b);
  EXPECT_EQ(view.constBits(), b.Bits());
  EXPECT_EQ(view.pixelColor(2, 1), QColor(1, 2, 3));
  const Bitmap24 back = QImageToBitmap24(view);
  EXPECT_TRUE(back == b);
  EXPECT_TRUE(Bitmap24View(Bitmap24()).isNull());
  QImage argb(2, 2, QImage::Format_ARGB32);
  argb.fill(QColor(9, 8, 7, 0));
  EXPECT_EQ(QImageToBitmap24(argb).Pixel(1, 1), RGB(9, 8, 7));
  TBitmap32 b32;
  b32.SetSize(2, 2);
  b32.ScanLine(1)[1] = 0x00102030;  // alpha 0 still shows
  const QImage v32 = Bitmap32View(b32);
  EXPECT_EQ(reinterpret_cast<const void*>(v32.constBits()), reinterpret_cast<const void*>(b32.Bits()));
  EXPECT_EQ(v32.pixelColor(1, 1), QColor(0x10, 0x20, 0x30));
}

TEST(Desktop, HelpOpensTheContextPageOrSaysItIsMissing) {
  TestApp();
  TmpDir tmp;
  std::vector<std::string> opened;
  SetShellOpenHook([&](const std::string& f) {
    opened.push_back(f);
    return true;
  });
  Application->HelpFile = tmp.path + "VITRANE.HLP";
  const std::string pages = tmp.path + "help/";
  EXPECT_EQ(HelpPageFolder(), pages);
  {
    Headless ok(0);
    ShowHelpContext(18);
    ASSERT_EQ(HeadlessMessages().size(), 1u);
    EXPECT_EQ(HeadlessMessages()[0].Text, "Cannot find the help file " + pages + "contents.html.");
    EXPECT_TRUE(opened.empty());
  }
  std::filesystem::create_directory(pages);
  std::ofstream(pages + "contents.html") << "help";
  std::ofstream(pages + "context18.html") << "help";
  ShowHelpContents();
  // A context without a page of its own gets the contents.
  ShowHelpContext(19);
  EXPECT_EQ(opened, (std::vector<std::string>{pages + "contents.html", pages + "contents.html"}));
  // F1 in a control shows the page of the nearest help context.
  QWidget window;
  SetHelpContext(&window, 18);
  QWidget* child = new QWidget(&window);
  EXPECT_EQ(HelpContextOf(child), 18);
  QTest::keyClick(child, Qt::Key_F1);
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_EQ(opened[2], pages + "context18.html");
  QWidget plain;
  QTest::keyClick(&plain, Qt::Key_F1);
  EXPECT_EQ(opened.size(), 3u);
  Application->HelpFile.clear();
  EXPECT_EQ(HelpFileName(), ProgramFolder() + "VITRANE.HLP");
  SetShellOpenHook(nullptr);
}

TEST(Desktop, ClipboardPictureRoundTrip) {
  TestApp();
  Bitmap24 b(4, 3);
  b.Fill(RGB(200, 10, 20));
  ClipboardSetPicture(b);
  ASSERT_TRUE(ClipboardHasPicture());
  Bitmap24 out;
  ASSERT_TRUE(ClipboardGetPicture(out));
  EXPECT_TRUE(out == b);
}

}  // namespace
