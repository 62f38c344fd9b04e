// The build of bench_buildloop run from the main window, offscreen, as a
// user runs it ("Mosaic all"): the cells fill in on screen, the progress, the
// percentage and the estimate are shown and events processed about 60 times a
// second. Beside every run, the headless loop over the same tables: the
// window's figure is its ratio to it. Likewise a direct save of the built
// mosaic from the output setup against the headless writer.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTimer>
#include <memory>

#include "bench/photos/BuildBenchSet.h"
#include "dialogs/SetTileForm.h"
#include "mainwin/v2main.h"
#include "mosaic/OutputRender.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/qt/Application.h"
#include "platform/qt/FileDialogs.h"

namespace {

using namespace buildbench;

TApplication* App() {
  static int argc = 1;
  static char name[] = "vitrane-bench";
  static char* argv[] = {name, nullptr};
  static TApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new TApplication(argc, argv);
  }();
  return app;
}

double WindowSeconds(bool flipped, bool cellPictures) {
  SettingsFileName = Set().Dir + "/vt002.ini";
  WizardShownOnce = true;
  SetMessageBoxHook([](const MessageBoxRequest& r) { return DefaultAnswer(r); });
  auto form = std::make_unique<TForm1>();
  form->resize(1200, 900);
  form->UseCellPictures = cellPictures;
  form->show();
  QApplication::processEvents();
  // The project opens the library it was made with; the flipped one is
  // chosen after it, as a user picks another library for an open project.
  // The other way round the first flipped run would add the flipped blocks
  // to the project's library (and time that).
  form->OpenVTP(Set().Project);
  if (!form->OpenLibraryByName(flipped ? Set().FlippedLibrary : Set().Library))
    throw EVitrane("cannot open the library");
  form->SpinRadius2->SetValue(kDistance);
  form->SpinRepetition2->SetValue(0);
  form->ChkFixAuto->setChecked(false);
  form->ChkFixManual->setChecked(true);
  for (QCheckBox* b : {form->CBFlipH, form->CBFlipV, form->CBRota180}) b->setChecked(flipped);
  form->DrawGrid1->SetSelection({0, 0, 0, 0});
  QApplication::processEvents();
  const auto start = Clock::now();
  form->Mosaicall1Click();
  // What the run left to paint is part of what the user waits for.
  QApplication::processEvents();
  const double s = std::chrono::duration<double>(Clock::now() - start).count();
  form->VTMosaic1.Modified = 0;
  form.reset();
  SetMessageBoxHook(nullptr);
  return s;
}

void BM_BuildInWindow(benchmark::State& state) {
  App();
  const bool flipped = state.range(0) != 0;
  const bool cellPictures = state.range(1) != 0;
  double window = 0, loop = 0;
  for (auto _ : state) {
    TTables t(flipped);
    loop += LoopSeconds(t, flipped);
    const double s = WindowSeconds(flipped, cellPictures);
    window += s;
    state.SetIterationTime(s);
  }
  state.counters["loop_ms"] = 1000 * loop / double(state.iterations());
  state.counters["vs_loop"] = window / loop;
}

// Arguments: 1 with the three flipped blocks; 0 painting every cell from its
// record, as the view did before it kept decoded thumbnails.
BENCHMARK(BM_BuildInWindow)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// A direct BMP of the built mosaic saved from the output setup, as a user
// saves it, against the headless writer given the same job: the window's
// share is the progress it shows and the events it processes meanwhile.
void BM_DirectSaveInWindow(benchmark::State& state) {
  App();
  SettingsFileName = Set().Dir + "/vt002.ini";
  WizardShownOnce = true;
  SetMessageBoxHook([](const MessageBoxRequest& r) { return DefaultAnswer(r); });
  const std::string file = Set().Dir + "/direct.bmp", plain = Set().Dir + "/plain.bmp";
  SetFileDialogHook([&](const TOpenDialog&, bool) -> std::optional<TFileChoice> { return TFileChoice{{file}, 3}; });
  auto form = std::make_unique<TForm1>();
  form->resize(1200, 900);
  form->show();
  QApplication::processEvents();
  form->OpenVTP(Set().Project);
  if (!form->OpenLibraryByName(Set().Library)) throw EVitrane("cannot open the library");
  form->SpinRadius2->SetValue(kDistance);
  form->SpinRepetition2->SetValue(0);
  form->Mosaicall1Click();
  double window = 0, headless = 0;
  for (auto _ : state) {
    std::function<void()> wait = [&] {
      if (!SetTileForm || QApplication::activeModalWidget() != SetTileForm) {
        QTimer::singleShot(1, wait);
        return;
      }
      TSetTileForm& s = *SetTileForm;
      s.KWRealSpinOMW->SetValue(state.range(0));
      s.CheckBox4->setChecked(true);
      s.CheckBox3->setChecked(true);
      auto start = Clock::now();
      s.Button2Click();
      QApplication::processEvents();
      const double w = std::chrono::duration<double>(Clock::now() - start).count();
      TOutputJob job = form->MakeOutputJob(false);
      start = Clock::now();
      WriteMosaicDirect(job, plain, 1);
      const double h = std::chrono::duration<double>(Clock::now() - start).count();
      window += w;
      headless += h;
      state.SetIterationTime(w);
      s.Button1Click();
    };
    QTimer::singleShot(0, wait);
    form->Mosaiclayoutsetup1Click();
  }
  state.counters["headless_ms"] = 1000 * headless / double(state.iterations());
  state.counters["vs_headless"] = window / headless;
  form->VTMosaic1.Modified = 0;
  form.reset();
  SetFileDialogHook(nullptr);
  SetMessageBoxHook(nullptr);
}

// Argument: the width of the mosaic in pixels.
BENCHMARK(BM_DirectSaveInWindow)->Arg(3600)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
