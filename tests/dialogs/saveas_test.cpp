// "Save image as..." of the source setup and "Create" of the library
// inspector: a typed extension of an offered type picks the type, and the
// question before replacing names the file written.
#include <QMessageBox>
#include <QTimer>

#include "DialogFixture.h"
#include "dialogs/LibraryMosaic.h"
#include "dialogs/SrcSetup.h"
#include "formats/Registrations.h"
#include "platform/Bmp.h"
#include "platform/Files.h"
#include "platform/qt/QtHooks.h"
#include "qt/InputEvents.h"
#include "tiledb/LibraryMaker.h"

namespace {

class SaveAsTest : public DialogTest {
 protected:
  void TearDown() override {
    SetFileDialogHook(nullptr);
    TSrcSetup::JpegQualityDialog = FQuality;
    DialogTest::TearDown();
  }
  // In the dialog's modal loop: act, its file dialog answered with typed and
  // the entry chosen, and a click on `answer` in the question box if one is
  // shown; returns the question ("" for none).
  std::string Save(QDialog& d, const std::function<void()>& act, const std::string& typed, int chosen,
                   QMessageBox::StandardButton answer) {
    SetFileDialogHook([=, this](const TOpenDialog&, bool) {
      return std::optional<TFileChoice>({{Dir / typed}, chosen});
    });
    std::string asked;
    SetMessageBoxHook([&](const MessageBoxRequest& r) {
      QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        asked = box->text().toStdString();
        Click(box->button(answer));
      });
      return ShowQtMessageBox(r);
    });
    QTimer::singleShot(0, [&] {
      act();
      d.reject();
    });
    d.exec();
    return asked;
  }
  std::function<int(QWidget*)> FQuality = TSrcSetup::JpegQualityDialog;
};

TEST_F(SaveAsTest, TheTypeAndTheQuestionFollowTheNameWritten) {
  RegisterGraphicFormats();  // a saved TIFF is shown again
  TSrcSetup::JpegQualityDialog = [](QWidget*) { return 80; };
  vttest::MakeLibrary(Dir / "l.vt2", {.Count = 4});
  TVTData lib;
  lib.SetBaseName(Dir / "l.vt2");
  WriteBMPFile(Bitmap24(40, 30), Dir / "src.bmp");
  TSrcSetup setup(lib);
  setup.OpenImage(Dir / "src.bmp");
  TLibrayMosaic inspector(lib);
  inspector.RefreshLibrary();  // 2 x 2, as the main window opens it
  for (const char* old : {"photo.jpg", "x.tif"}) WriteFileReplacing(Dir / old, {'k', 'e', 'e', 'p'});
  const struct {
    bool Inspector;
    const char* Typed;
    int Chosen;
    QMessageBox::StandardButton Answer;
    const char *Written, *Head;  // the file's first bytes after; all of them when kept
  } cases[] = {{false, "photo", 1, QMessageBox::No, "photo.jpg", "keep"},
               {false, "y.TIF", 1, QMessageBox::No, "y.tif", "II*"},
               {false, "photo", 1, QMessageBox::Yes, "photo.jpg", "\xFF\xD8\xFF"},
               {true, "x", 2, QMessageBox::No, "x.tif", "keep"},
               {true, "z.bmp", 2, QMessageBox::No, "z.bmp", "BM"},
               {true, "x", 2, QMessageBox::Yes, "x.tif", "II*"}};
  for (const auto& c : cases) {
    const std::string file = Dir / c.Written;
    const bool existed = FileExists(file);
    QDialog& d = c.Inspector ? static_cast<QDialog&>(inspector) : setup;
    const std::string asked = Save(
        d, [&] { c.Inspector ? Click(inspector.BitBtn2) : PressKey(&setup, Qt::Key_S, Qt::ControlModifier); },
        c.Typed, c.Chosen, c.Answer);
    EXPECT_EQ(asked, existed ? file + " already exists.\nDo you want to replace it?" : "") << c.Typed;
    const std::vector<uint8_t> b = FileExists(file) ? ReadWholeFile(file) : std::vector<uint8_t>{};
    const std::string head(b.begin(), b.end());
    EXPECT_EQ(c.Head == std::string("keep") ? head : head.substr(0, strlen(c.Head)), c.Head) << c.Typed;
  }
}

}  // namespace
