// The SANE side of our source manager: the devices SANE reports, the two
// settings the scan dialog offers (colour or grey, resolution), and one scan
// read into a device-independent bitmap block (24-bit, bottom-up rows).
#pragma once
#include <sane/sane.h>

#include <string>
#include <vector>

#include "controls/TwainTypes.h"

struct TSaneDevice {
  std::string Name, Vendor, Model;
};

// Every device SANE reports now (empty when none or SANE fails).
std::vector<TSaneDevice> SaneDevices();

// The resolutions a device accepts, and the one it is set to.
struct TSaneResolution {
  int Min = 0, Max = 0, Current = 0;
  std::vector<int> List;  // when the device accepts only these
};

class TSaneSource {
 public:
  // Opens the device; Error() says why when Open is false.
  explicit TSaneSource(const std::string& name);
  ~TSaneSource();
  TSaneSource(const TSaneSource&) = delete;
  TSaneSource& operator=(const TSaneSource&) = delete;

  bool Open() const { return FHandle != nullptr; }
  const std::string& Error() const { return FError; }
  const std::string& Name() const { return FName; }

  bool OffersColour() const { return !FColourMode.empty(); }
  bool OffersGrey() const { return !FGreyMode.empty(); }
  bool IsColour() const;  // the device's current mode
  TSaneResolution Resolution() const;

  // Scans one picture in colour or grey at the resolution (0: as set) into
  // a new block; none, with Error() set, when the scan fails.
  TW_HANDLE Scan(bool colour, int dpi);

 private:
  int FindOption(const char* name) const;
  bool SetMode(bool colour);
  bool SetResolution(int dpi);
  bool Fail(const std::string& what, SANE_Status status);

  std::string FName, FError;
  SANE_Handle FHandle = nullptr;
  int FModeOption = -1, FResolutionOption = -1;
  std::string FColourMode, FGreyMode;
};
