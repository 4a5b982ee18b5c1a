#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "playback/FrameRecordReader.h"
#include "playback/PlaybackSettings.h"

namespace ostrel::playback {

// What a look through a whole recording finds, without decoding any picture.
struct RecordingSummary {
  int64_t frames = 0;
  int64_t emptyFrames = 0;  // records of no bytes at all: ticks where nothing changed
  int64_t pngRegions = 0;
  int64_t jpegRegions = 0;
  int64_t bmpRegions = 0;
  int64_t unknownRegions = 0;  // framed, but the payload has no image header we know
  int64_t unframedPieces = 0;  // pieces a player skips for their markers
  int64_t oversizedFrames = 0;
  // Smallest picture, from (0, 0), that holds every region: the recorded screen
  // as far as the recording shows it.
  int boundingWidth = 0;
  int boundingHeight = 0;

  int64_t regions() const { return pngRegions + jpegRegions + bmpRegions + unknownRegions; }
};

// Reads every record from the start; false on a read error. Leaves the reader rewound.
bool summariseRecords(FrameRecordReader& records, RecordingSummary& summary);

}  // namespace ostrel::playback
