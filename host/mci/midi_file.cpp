// Standard MIDI File checks and its length through the tempo map.
#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "host/mci/mci.h"

namespace {

uint32_t Be32(const uint8_t* p) { return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]; }
uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t Le32(const uint8_t* p) { return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]; }

bool ReadVarLen(const uint8_t*& p, const uint8_t* end, uint32_t* value) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) {
    if (p >= end) return false;
    uint8_t b = *p++;
    v = (v << 7) | (b & 0x7F);
    if (!(b & 0x80)) {
      *value = v;
      return true;
    }
  }
  return false;
}

// Walks one track: its end tick, and the tempo changes (tick -> microseconds per
// quarter note). False for a malformed track.
bool WalkTrack(const uint8_t* p, const uint8_t* end, uint64_t* endTick,
               std::multimap<uint64_t, uint32_t>* tempos) {
  uint64_t tick = 0;
  uint8_t running = 0;
  while (p < end) {
    uint32_t delta;
    if (!ReadVarLen(p, end, &delta)) return false;
    tick += delta;
    if (p >= end) return false;
    uint8_t status = *p;
    if (status & 0x80) {
      ++p;
    } else {
      if (running == 0) return false;
      status = running;
    }
    if (status == 0xFF) {
      if (p >= end) return false;
      uint8_t type = *p++;
      uint32_t len;
      if (!ReadVarLen(p, end, &len) || len > static_cast<size_t>(end - p)) return false;
      if (type == 0x51 && len == 3) tempos->emplace(tick, uint32_t{p[0]} << 16 | p[1] << 8 | p[2]);
      p += len;
      if (type == 0x2F) break;
      running = 0;
    } else if (status == 0xF0 || status == 0xF7) {
      uint32_t len;
      if (!ReadVarLen(p, end, &len) || len > static_cast<size_t>(end - p)) return false;
      p += len;
      running = 0;
    } else if (status >= 0xF0) {
      return false;
    } else {
      int bytes = (status & 0xE0) == 0xC0 ? 1 : 2;
      if (end - p < bytes) return false;
      p += bytes;
      running = status;
    }
  }
  *endTick = tick;
  return true;
}

// Microseconds from tick 0 to `ticks` at `division` ticks per quarter note, starting at
// 500000 us per quarter until the first tempo change.
double TicksToUs(const std::multimap<uint64_t, uint32_t>& tempos, uint64_t ticks, uint16_t division) {
  double us = 0;
  uint64_t tick = 0;
  uint32_t tempo = 500000;
  for (const auto& [at, value] : tempos) {
    if (at >= ticks) break;
    us += static_cast<double>(at - tick) * tempo / division;
    tick = at;
    tempo = value;
  }
  return us + static_cast<double>(ticks - tick) * tempo / division;
}

}  // namespace

int64_t MidiFileLengthUs(const uint8_t* data, size_t size) {
  if (data == nullptr) return -1;
  if (size >= 20 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "RMID", 4) == 0) {
    // RIFF MIDI: the SMF is the contents of the "data" chunk.
    size_t pos = 12;
    bool found = false;
    while (pos + 8 <= size) {
      uint32_t len = Le32(data + pos + 4);
      if (std::memcmp(data + pos, "data", 4) == 0) {
        if (len > size - pos - 8) return -1;
        data += pos + 8;
        size = len;
        found = true;
        break;
      }
      pos += 8 + static_cast<size_t>(len) + (len & 1);
    }
    if (!found) return -1;
  }
  if (size < 14 || std::memcmp(data, "MThd", 4) != 0) return -1;
  uint32_t headerLength = Be32(data + 4);
  if (headerLength < 6 || headerLength > size - 8) return -1;
  uint16_t format = Be16(data + 8);
  uint16_t tracks = Be16(data + 10);
  uint16_t division = Be16(data + 12);
  if (format > 2 || tracks == 0 || division == 0) return -1;
  const uint8_t* p = data + 8 + headerLength;
  const uint8_t* end = data + size;
  uint64_t lastTick = 0;
  double songsUs = 0;  // format 2: each track a song with its own tempo map
  std::multimap<uint64_t, uint32_t> tempos;
  int found = 0;
  while (found < tracks) {
    if (end - p < 8) return -1;
    uint32_t len = Be32(p + 4);
    if (len > static_cast<size_t>(end - p - 8)) return -1;
    if (std::memcmp(p, "MTrk", 4) == 0) {
      uint64_t trackEnd = 0;
      std::multimap<uint64_t, uint32_t> own;
      if (!WalkTrack(p + 8, p + 8 + len, &trackEnd, format == 2 ? &own : &tempos)) return -1;
      if (format == 2 && !(division & 0x8000)) songsUs += TicksToUs(own, trackEnd, division);
      lastTick = format == 2 ? lastTick + trackEnd : std::max(lastTick, trackEnd);
      ++found;
    }
    p += 8 + len;
  }
  if (division & 0x8000) {
    // SMPTE: frames per second (29 means 29.97 drop-frame) and ticks per frame.
    int fps = -static_cast<int8_t>(division >> 8);
    int ticksPerFrame = division & 0xFF;
    if (fps <= 0 || ticksPerFrame == 0) return -1;
    double framesPerSecond = fps == 29 ? 29.97 : fps;
    return static_cast<int64_t>(static_cast<double>(lastTick) * 1e6 / (framesPerSecond * ticksPerFrame) + 0.5);
  }
  double us = format == 2 ? songsUs : TicksToUs(tempos, lastTick, division);
  return static_cast<int64_t>(us + 0.5);
}
