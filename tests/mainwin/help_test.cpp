// The help pages shipped beside the program: one for every help context the
// windows set, linked from the contents, and F1 opening a window's page.
#include <QTabWidget>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "dialogs/Prefs2.h"
#include "mainwin/MainWinFixture.h"
#include "platform/Files.h"
#include "platform/qt/Desktop.h"

namespace {
using mwtest::MainWinTest;

std::string FileText(const std::string& name) {
  std::ifstream f(name, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// Every help context number written in the windows' sources: the number
// that ends "SetHelpContext(w, 34)", "ShowHelpContext(22)" or
// "HelpContext = 11".
std::set<int> ContextsInSources() {
  std::set<int> found;
  for (const char* dir : {"mainwin", "dialogs", "controls"})
    for (const auto& entry : std::filesystem::directory_iterator(std::string(VT_SOURCE_DIR) + "/" + dir)) {
      if (entry.path().extension() != ".cpp") continue;
      const std::string text = FileText(entry.path().string());
      for (size_t at = text.find("HelpContext"); at != std::string::npos;
           at = text.find("HelpContext", at + 1)) {
        size_t end = text.find_first_of(");", at);
        while (end > at && text[end - 1] == ' ') --end;
        size_t digits = end;
        while (digits > at && std::isdigit(static_cast<unsigned char>(text[digits - 1]))) --digits;
        if (digits < end && std::string(" ,=(").find(text[digits - 1]) != std::string::npos &&
            std::stoi(text.substr(digits, end - digits)) > 0)
          found.insert(std::stoi(text.substr(digits, end - digits)));
      }
    }
  return found;
}

class HelpTest : public MainWinTest {
 protected:
  void SetUp() override {
    MainWinTest::SetUp();
    SetShellOpenHook([this](const std::string& f) {
      Opened.push_back(f);
      return true;
    });
  }
  void TearDown() override {
    SetShellOpenHook(nullptr);
    MainWinTest::TearDown();
  }
  std::vector<std::string> Opened;
};
}  // namespace

TEST_F(HelpTest, EveryContextHasAPageLinkedFromTheContents) {
  NewForm();
  const std::string folder = HelpPageFolder();
  EXPECT_EQ(folder, ProgramFolder() + "help/");
  std::set<int> contexts = ContextsInSources();
  // The windows of the program as it stands must all be found.
  for (int c : {1, 4, 11, 18, 20, 21, 22, 24, 30, 32, 33, 34, 35, 36}) EXPECT_TRUE(contexts.count(c)) << c;
  // The wizard's and the manual tiles window's.
  for (int c : {14, 15, 16, 17, 26, 27, 28, 29}) contexts.insert(c);
  const std::string contents = FileText(folder + "contents.html");
  ASSERT_FALSE(contents.empty());
  for (int c : contexts) {
    const std::string name = HelpPageName(c);
    EXPECT_TRUE(FileExists(folder + name)) << name;
    EXPECT_NE(contents.find("href=\"" + name + "\""), std::string::npos) << name;
  }
}

TEST_F(HelpTest, F1AndHelpCommandsOpenTheirPages) {
  TForm1& form = NewForm();
  const std::string folder = HelpPageFolder();
  form.show();
  QTest::keyClick(form.DrawGrid1, Qt::Key_F1);
  form.HelpItem1->trigger();
  ShowHelpContext(999);
  TPrefsForm prefs(form.PrefsHost());
  prefs.show();
  prefs.PageControl1->setCurrentIndex(1);
  QTest::keyClick(prefs.CheckBox6, Qt::Key_F1);
  prefs.BitBtnHlp->click();
  EXPECT_EQ(Opened, (std::vector<std::string>{folder + "context4.html", folder + "contents.html",
                                              folder + "contents.html", folder + "context36.html",
                                              folder + "context34.html"}));
  EXPECT_TRUE(Boxes.empty());
}
