#pragma once
// Decoded sound of one file list, collected and handed out in fixed chunks.
#include <cstdint>

#include "engine/media/buffer.h"

namespace vexo {

struct TWaveBuffer {
  // Collected output sound: 16-bit signed interleaved samples.
  TBuffer Data;
  // Decoder output before sample-rate conversion.
  TBuffer Temp;
  // Bytes of valid sound at the start of Data.
  int32_t Filled = 0;
  // Bytes to collect before a chunk is handed out (100 ms of output).
  int32_t ChunkBytes = 0;
  // Largest chunk handed out at once (200 ms of output).
  int32_t OutBytes = 0;
  int32_t OutRate = 0;
  int32_t OutChannels = 0;
  uint8_t PlayAudio = 1;

  int32_t DataSize() const { return int32_t(Data.size()); }

  // Moves bytes n .. filled-1 to the start and zeroes the n bytes after them.
  void DropFront(int32_t n, int32_t filled);
  // Moves bytes 0 .. filled-1 up by n and zeroes the first n bytes; grows Data
  // when the caller left too little room.
  void InsertSilence(int32_t n, int32_t filled);
};

}  // namespace vexo
