#include "tiledb/ProjectFile.h"

#include <algorithm>

#include "tiledb/LibraryImage.h"

bool HasProjectMagic(const uint8_t* p, size_t size) {
  return size >= ProjectMagic.size() && std::equal(ProjectMagic.begin(), ProjectMagic.end(), p);
}

size_t ProjectHeaderSize(size_t libraryPathLen, size_t sourcePathLen, bool longForm) {
  return size_t(longForm ? ProjectLongFixed : ProjectShortFixed) + std::min<size_t>(libraryPathLen, 65535) +
         std::min<size_t>(sourcePathLen, 65535);
}

std::vector<uint8_t> EncodeProjectHeader(const TProjectHeader& h, bool longForm) {
  std::vector<uint8_t> out(ProjectMagic.begin(), ProjectMagic.end());
  auto put16 = [&](uint16_t v) {
    const size_t at = out.size();
    out.resize(at + 2);
    PutU16(out.data() + at, v);
  };
  auto put32 = [&](int32_t v) {
    const size_t at = out.size();
    out.resize(at + 4);
    PutI32(out.data() + at, v);
  };
  auto putPath = [&](const std::string& s) {
    const size_t len = std::min<size_t>(s.size(), 65535);
    put16(uint16_t(len));
    out.insert(out.end(), s.begin(), s.begin() + std::ptrdiff_t(len));
  };
  put16(h.Columns);
  put16(h.Rows);
  put32(h.PlanOffset);
  put32(h.MosaicOffset);
  putPath(h.LibraryPath);
  putPath(h.SourcePath);
  put32(h.SourceRect.Left);
  put32(h.SourceRect.Top);
  put32(h.SourceRect.Right);
  put32(h.SourceRect.Bottom);
  if (longForm) {
    put32(0);
    put32(h.Extra1);
    put32(h.Extra2);
    out.resize(out.size() + 12, 0);
  }
  return out;
}

bool DecodeProjectHeader(const uint8_t* p, size_t size, TProjectHeader& h) {
  if (!HasProjectMagic(p, size)) return false;
  size_t at = 8;
  auto need = [&](size_t n) { return size >= at && size - at >= n; };
  if (!need(12)) return false;
  TProjectHeader r;
  r.Columns = GetU16(p + 8);
  r.Rows = GetU16(p + 10);
  r.PlanOffset = GetI32(p + 12);
  r.MosaicOffset = GetI32(p + 16);
  at = 20;
  for (std::string* s : {&r.LibraryPath, &r.SourcePath}) {
    if (!need(2)) return false;
    const uint16_t len = GetU16(p + at);
    at += 2;
    if (!need(len)) return false;
    s->assign(reinterpret_cast<const char*>(p + at), len);
    at += len;
  }
  if (!need(20)) return false;
  r.SourceRect = TRect(GetI32(p + at), GetI32(p + at + 4), GetI32(p + at + 8), GetI32(p + at + 12));
  at += 16;
  r.LongForm = GetI32(p + at) == 0;
  if (r.LongForm) {
    if (!need(24)) return false;
    r.Extra1 = GetI32(p + at + 4);
    r.Extra2 = GetI32(p + at + 8);
  }
  h = std::move(r);
  return true;
}
