// The TWAIN protocol's records and values as the acquisition layer and our
// source manager exchange them through the one entry point DSM_Entry. Only
// what the two sides use is here; the values are those of the protocol.
// Header-only, so the program and the loadable manager share it without
// linking each other.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

typedef uint8_t TW_UINT8;
typedef int16_t TW_INT16;
typedef uint16_t TW_UINT16;
typedef uint32_t TW_UINT32;
typedef uint16_t TW_BOOL;
typedef void* TW_MEMREF;
// A movable memory block (see TwainAlloc), or a window (a QWidget*).
typedef void* TW_HANDLE;
typedef char TW_STR32[34];

// The protocol packs its records on 2-byte boundaries.
#pragma pack(push, 2)

struct TW_VERSION {
  TW_UINT16 MajorNum;
  TW_UINT16 MinorNum;
  TW_UINT16 Language;
  TW_UINT16 Country;
  TW_STR32 Info;
};

struct TW_IDENTITY {
  TW_UINT32 Id;
  TW_VERSION Version;
  TW_UINT16 ProtocolMajor;
  TW_UINT16 ProtocolMinor;
  TW_UINT32 SupportedGroups;
  TW_STR32 Manufacturer;
  TW_STR32 ProductFamily;
  TW_STR32 ProductName;
};

struct TW_USERINTERFACE {
  TW_BOOL ShowUI;
  TW_BOOL ModalUI;
  TW_HANDLE hParent;
};

struct TW_CAPABILITY {
  TW_UINT16 Cap;
  TW_UINT16 ConType;
  TW_HANDLE hContainer;
};

struct TW_ONEVALUE {
  TW_UINT16 ItemType;
  TW_UINT32 Item;
};

// Containers end in their item list; the offsets below say where it starts.
struct TW_ARRAY {
  TW_UINT16 ItemType;
  TW_UINT32 NumItems;
  TW_UINT8 ItemList[1];
};

struct TW_ENUMERATION {
  TW_UINT16 ItemType;
  TW_UINT32 NumItems;
  TW_UINT32 CurrentIndex;
  TW_UINT32 DefaultIndex;
  TW_UINT8 ItemList[1];
};

struct TW_EVENT {
  TW_MEMREF pEvent;  // the QEvent being delivered
  TW_UINT16 TWMessage;
};

struct TW_PENDINGXFERS {
  TW_UINT16 Count;
  TW_UINT32 Reserved;
};

struct TW_STATUS {
  TW_UINT16 ConditionCode;
  TW_UINT16 Reserved;
};

#pragma pack(pop)

constexpr size_t TW_ARRAY_ITEMS = offsetof(TW_ARRAY, ItemList);
constexpr size_t TW_ENUMERATION_ITEMS = offsetof(TW_ENUMERATION, ItemList);

typedef TW_UINT16 (*DSMENTRYPROC)(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG, TW_UINT16 DAT,
                                  TW_UINT16 MSG, TW_MEMREF pData);

// Data groups.
constexpr TW_UINT32 DG_CONTROL = 0x0001, DG_IMAGE = 0x0002;
// Data argument types.
constexpr TW_UINT16 DAT_CAPABILITY = 0x0001, DAT_EVENT = 0x0002, DAT_IDENTITY = 0x0003, DAT_PARENT = 0x0004,
                    DAT_PENDINGXFERS = 0x0005, DAT_STATUS = 0x0008, DAT_USERINTERFACE = 0x0009,
                    DAT_IMAGENATIVEXFER = 0x0104;
// Messages.
constexpr TW_UINT16 MSG_NULL = 0x0000, MSG_GET = 0x0001, MSG_SET = 0x0006, MSG_XFERREADY = 0x0101,
                    MSG_CLOSEDSREQ = 0x0102, MSG_OPENDSM = 0x0301, MSG_CLOSEDSM = 0x0302, MSG_OPENDS = 0x0401,
                    MSG_CLOSEDS = 0x0402, MSG_USERSELECT = 0x0403, MSG_DISABLEDS = 0x0501,
                    MSG_ENABLEDS = 0x0502, MSG_PROCESSEVENT = 0x0601, MSG_ENDXFER = 0x0701,
                    MSG_RESET = 0x0702;
// Return codes.
constexpr TW_UINT16 TWRC_SUCCESS = 0, TWRC_FAILURE = 1, TWRC_CHECKSTATUS = 2, TWRC_CANCEL = 3,
                    TWRC_DSEVENT = 4, TWRC_NOTDSEVENT = 5, TWRC_XFERDONE = 6, TWRC_ENDOFLIST = 7;
// Condition codes.
constexpr TW_UINT16 TWCC_SUCCESS = 0, TWCC_BUMMER = 1, TWCC_LOWMEMORY = 2, TWCC_NODS = 3,
                    TWCC_OPERATIONERROR = 5, TWCC_BADCAP = 6, TWCC_BADPROTOCOL = 9, TWCC_BADVALUE = 10,
                    TWCC_SEQERROR = 11, TWCC_BADDEST = 12;
// Capabilities, containers and item types.
constexpr TW_UINT16 CAP_XFERCOUNT = 0x0001, ICAP_PIXELTYPE = 0x0101, ICAP_UNITS = 0x0102,
                    ICAP_BITDEPTH = 0x112B;
constexpr TW_UINT16 TWON_ARRAY = 3, TWON_ENUMERATION = 4, TWON_ONEVALUE = 5;
constexpr TW_UINT16 TWTY_INT16 = 1, TWTY_UINT16 = 4;
// Pixel types.
constexpr TW_UINT16 TWPT_BW = 0, TWPT_GRAY = 1, TWPT_RGB = 2;

// ---- Movable memory blocks ----
// Containers and pictures cross the entry point as handles that the
// receiving side frees. Both sides allocate through these, so either can free
// what the other made, and a handle that is not such a block (or was freed)
// is told apart instead of being trusted.

namespace twain_detail {
constexpr uint64_t kBlockMagic = 0x5457424C4F434B31ull;  // "TWBLOCK1"
constexpr uint64_t kFreedMagic = 0x5457424C4F434B30ull;
struct alignas(16) BlockHeader {
  uint64_t magic;
  uint64_t size;
};
inline BlockHeader* Header(TW_HANDLE h) {
  return static_cast<BlockHeader*>(h);
}
}  // namespace twain_detail

// A zeroed block of size bytes, or none when memory runs out.
inline TW_HANDLE TwainAlloc(size_t size) {
  using namespace twain_detail;
  if (size > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
  void* p = std::calloc(1, sizeof(BlockHeader) + size);
  if (!p) return nullptr;
  BlockHeader* h = static_cast<BlockHeader*>(p);
  h->magic = kBlockMagic;
  h->size = size;
  return p;
}
// The block's bytes, or none when the handle is not a live block.
inline void* TwainLock(TW_HANDLE h) {
  using namespace twain_detail;
  if (!h || Header(h)->magic != kBlockMagic) return nullptr;
  return static_cast<char*>(h) + sizeof(BlockHeader);
}
// The block's size in bytes, 0 for a handle that is not a live block.
inline size_t TwainSize(TW_HANDLE h) {
  return TwainLock(h) ? size_t(twain_detail::Header(h)->size) : 0;
}
inline void TwainFree(TW_HANDLE h) {
  using namespace twain_detail;
  if (!TwainLock(h)) return;
  Header(h)->magic = kFreedMagic;
  std::free(h);
}
