// Whether a window shows every control whole: each visible control placed
// directly on `parent` must lie inside it and clear of the others. Controls
// named together may overlap among themselves (a preview over its frame).
#pragma once
#include <QWidget>
#include <algorithm>
#include <string>
#include <vector>

inline std::vector<std::string> LayoutFaults(const QWidget* parent,
                                             const std::vector<const QWidget*>& together = {}) {
  std::vector<const QWidget*> shown;
  for (const QObject* o : parent->children()) {
    const auto* w = qobject_cast<const QWidget*>(o);
    if (w && !w->isWindow() && w->isVisibleTo(parent)) shown.push_back(w);
  }
  const auto grouped = [&](const QWidget* w) {
    return std::find(together.begin(), together.end(), w) != together.end();
  };
  const auto name = [](const QWidget* w) { return w->objectName().toStdString(); };
  std::vector<std::string> faults;
  for (size_t i = 0; i < shown.size(); ++i) {
    if (!parent->rect().contains(shown[i]->geometry())) faults.push_back(name(shown[i]) + " sticks out");
    for (size_t j = i + 1; j < shown.size(); ++j)
      if (shown[i]->geometry().intersects(shown[j]->geometry()) && !(grouped(shown[i]) && grouped(shown[j])))
        faults.push_back(name(shown[i]) + " overlaps " + name(shown[j]));
  }
  return faults;
}
