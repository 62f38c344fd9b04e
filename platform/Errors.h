// Every error the program raises derives from EVitrane and carries an English
// message that the GUI shows as it stands.
#pragma once
#include <stdexcept>
#include <string>

class EVitrane : public std::runtime_error {
 public:
  explicit EVitrane(const std::string& msg) : std::runtime_error(msg) {}
};

// A file could not be opened, read or written.
class EFileError : public EVitrane {
 public:
  using EVitrane::EVitrane;
  EFileError(const std::string& msg, int code) : EVitrane(msg), FCode(code) {}
  // The system's error number behind the failure (errno), 0 when there is none.
  int Code() const { return FCode; }

 private:
  int FCode = 0;
};
// "Unknown picture file extension (.%s)" and readers refusing their input.
class EInvalidGraphic : public EVitrane {
  using EVitrane::EVitrane;
};
// A picture decoder met corrupt or truncated data.
class EPictureError : public EVitrane {
  using EVitrane::EVitrane;
};
// A text that should hold a number does not ("'%s' is not a valid integer value").
class EConvertError : public EVitrane {
  using EVitrane::EVitrane;
};
// A size beyond what memory or a file format can hold.
class EOutOfResources : public EVitrane {
  using EVitrane::EVitrane;
};

// printf-style formatting for messages.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
