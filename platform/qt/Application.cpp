#include "platform/qt/Application.h"

#include <QTimer>
#include <new>

#include "platform/Hooks.h"
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
