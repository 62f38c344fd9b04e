// Scanner and camera acquisition through a TWAIN source manager: choosing
// the source, and one acquisition session that collects every picture the
// source delivers by native transfer as a device-independent bitmap (one
// movable block: BITMAPINFOHEADER, colour table, rows padded to 4 bytes).
// Written in the manner of the protocol's own C interface: free functions
// over one session's state. Every failure is reported in a message box.
//
// The source manager is a loadable module with the entry point "DSM_Entry",
// found in the program's folder; ours (libtwain_32.so) offers the SANE
// devices as its sources.
#pragma once
#include <cstdint>
#include <string>

#include "controls/TwainTypes.h"
#include "platform/Bitmap24.h"

class QWidget;

// Shows the source manager's source selection; true when the user
// confirmed a source, which becomes the default. With no owner a proxy
// window stands in for it.
bool TWAIN_SelectImageSource(QWidget* owner);

// Runs one acquisition session from the default source: opens it, allows
// only the pixel types whose bits are set in pixelTypeMask (0: no
// negotiation), enables it and waits in an event loop, with the session
// window disabled, until a picture has arrived or the source asks to close.
// Returns the last picture of the session, or none. The pictures of the
// previous session that were not freed are freed when this one starts; a
// session already open refuses a second one.
TW_HANDLE TwainAcquireDib(QWidget* owner, uint32_t pixelTypeMask);
// Pictures acquired by the last session, and the index-th of them (0-based;
// none once freed or when out of range).
int TwainImageCount();
TW_HANDLE TwainImageHandle(int index);
// Frees a picture (nothing for none); a picture of the session's list leaves it.
void TwainFreeDib(TW_HANDLE dib);
// Makes bmp the picture of dib. The block is untrusted: every header field
// and the block's size are checked first; a damaged picture raises
// EInvalidGraphic and leaves bmp as it was.
void TwainDibToBitmap(TW_HANDLE dib, Bitmap24& bmp);

// ---- Session state, for those who watch a session ----

// 1 pre-session, 2 manager loaded, 3 manager open, 4 source open, 5 source
// enabled, 6 transfer ready, 7 transferring.
int TwainGetState();
// The first failure of the last session: code (0 none), and for codes 2 to 5
// the return code of the failing call and the condition code reported for it.
struct TTwainError {
  int Code = 0;
  TW_UINT16 ResultCode = 0;
  TW_UINT16 ConditionCode = 0;
};
TTwainError TwainRecordedError();
// The text of a recorded error code ("" for codes without one).
const char* TwainErrorText(int code);

// Where the source manager module is looked for; empty means the default,
// the program's folder followed by TwainManagerFileName.
extern const char* const TwainManagerFileName;
void TwainSetManagerPath(const std::string& path);
// An entry point to use instead of loading the module (none: load it).
void TwainSetEntryPoint(DSMENTRYPROC entry);
