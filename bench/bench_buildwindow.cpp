// The build of bench_buildloop run from the main window, offscreen, as a
// user runs it ("Mosaic all"): the cells fill in on screen, the progress, the
// percentage and the estimate are shown and events processed about 60 times a
// second. Beside every run, the headless loop over the same tables: the
// window's figure is its ratio to it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>

#include "bench/photos/BuildBenchSet.h"
#include "mainwin/v2main.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/qt/Application.h"

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

double WindowSeconds(bool flipped) {
  SettingsFileName = Set().Dir + "/vt002.ini";
  WizardShownOnce = true;
  SetMessageBoxHook([](const MessageBoxRequest& r) { return DefaultAnswer(r); });
  auto form = std::make_unique<TForm1>();
  form->resize(1200, 900);
  form->show();
  QApplication::processEvents();
  if (!form->OpenLibraryByName(flipped ? Set().FlippedLibrary : Set().Library))
    throw EVitrane("cannot open the library");
  form->OpenVTP(Set().Project);
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
  double window = 0, loop = 0;
  for (auto _ : state) {
    TTables t(flipped);
    loop += LoopSeconds(t, flipped);
    const double s = WindowSeconds(flipped);
    window += s;
    state.SetIterationTime(s);
  }
  state.counters["loop_ms"] = 1000 * loop / double(state.iterations());
  state.counters["vs_loop"] = window / loop;
}

// Argument: 1 with the three flipped blocks.
BENCHMARK(BM_BuildInWindow)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
