// The application object: Qt's application with the program's title, help
// file and exception dispatch. Qt gives up when an exception leaves an event
// handler, while the program's windows rely on the old behaviour: the message
// is shown in a box and the program goes on. So every event delivery runs
// inside a handler that catches and reports. F1 shows the help of the
// focused control's help context (SetHelpContext).
#pragma once
#include <QApplication>
#include <exception>
#include <functional>
#include <string>

class TApplication : public QApplication {
  Q_OBJECT
 public:
  // Installs the Qt message-box, pump and beep hooks.
  TApplication(int& argc, char** argv);
  ~TApplication() override;

  bool notify(QObject* receiver, QEvent* event) override;

  // Shows the exception's message in a box captioned with Title (OK, stop
  // icon), or passes it to OnException when that is set.
  void HandleException(std::exception_ptr error);
  // The same, later, from the event loop: for handlers that run in the middle
  // of a focus change, where a modal box would disturb it.
  void PostException(std::exception_ptr error);

  std::string Title = "Vitrane";
  // Full path of the help file; help by context number opens it.
  std::string HelpFile;
  // Replaces the message box, for tests and logging.
  std::function<void(const std::string& message)> OnException;
};

// The one application object, or nullptr before it exists.
extern TApplication* Application;

// The text shown for an exception: its message, with a full stop added when
// its last character sorts after "." (letters, digits, "?"), as the class
// library did.
std::string ExceptionMessage(std::exception_ptr error);

// Runs fn; an exception is handed to the application's dispatch (shown at
// once), or, without an application, passed on.
void RunGuarded(const std::function<void()>& fn);
