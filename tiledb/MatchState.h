// The matcher's state inside a TVTData (its private matching block): the
// engine with its copy of the samples, and the wide use count of every record
// beside its flag byte. The maintenance operations keep both in step when
// they add, cut or rewrite records.
#pragma once
#include <cstdint>
#include <vector>

#include "tiledb/MatchEngine.h"
#include "tiledb/VTData.h"

struct TVTData::TMatchState {
  TMatchEngine Engine;
  std::vector<uint32_t> Counts;  // wide use counts, one per record
  bool Loaded = false;
  // The sections the engine was loaded from.
  const uint8_t* Data = nullptr;
  int64_t DataSize = -1, InfoSize = -1;
  int32_t Records = -1, SampleSize = -1;
  std::vector<uint8_t> Target;
  std::vector<TMatchCandidate> Candidates;
};
