#include "platform/qt/Application.h"

#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <new>

#include "platform/Hooks.h"
#include "platform/qt/Desktop.h"
#include "platform/qt/QtHooks.h"

TApplication* Application = nullptr;

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  Application = this;
  InstallQtHooks();
}

TApplication::~TApplication() {
  UninstallQtHooks();
  if (Application == this) Application = nullptr;
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1 &&
        receiver->isWidgetType()) {
      const int context = HelpContextOf(static_cast<QWidget*>(receiver));
      if (context > 0) {
        ShowHelpContext(context);
        return true;
      }
    }
    return QApplication::notify(receiver, event);
  } catch (...) {
    HandleException(std::current_exception());
    return true;
  }
}

std::string ExceptionMessage(std::exception_ptr error) {
  std::string msg;
  try {
    std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    msg = "Out of memory";
  } catch (const std::exception& e) {
    msg = e.what();
  } catch (...) {
    msg = "Unknown exception";
  }
  if (!msg.empty() && static_cast<unsigned char>(msg.back()) > '.') msg += '.';
  return msg;
}

void TApplication::HandleException(std::exception_ptr error) {
  const std::string msg = ExceptionMessage(error);
  if (OnException) {
    OnException(msg);
    return;
  }
  MessageBox(msg, Title, MB_OK | MB_ICONSTOP);
}

void TApplication::PostException(std::exception_ptr error) {
  QTimer::singleShot(0, this, [this, error] { HandleException(error); });
}

void RunGuarded(const std::function<void()>& fn) {
  try {
    fn();
  } catch (...) {
    if (!Application) throw;
    Application->HandleException(std::current_exception());
  }
}
