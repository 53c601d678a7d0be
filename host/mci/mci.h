#pragma once
// The sequencer device the music layer sends its commands to: open (type "sequencer",
// element a file), status of the port, play with notify (from 0 or not), close. Open
// refuses anything that is not a Standard MIDI File. Play renders the file through
// libwildmidi into a voice of the audio device (silently, with the file's true length,
// when no patch set is found); at the natural end the notify is posted.
#include <cstddef>
#include <cstdint>

class AudioDevice;

constexpr uint32_t kMciOpen = 0x803;
constexpr uint32_t kMciClose = 0x804;
constexpr uint32_t kMciPlay = 0x806;
constexpr uint32_t kMciStatus = 0x814;

constexpr uint32_t kMciNotify = 0x1;
constexpr uint32_t kMciWait = 0x2;
constexpr uint32_t kMciFrom = 0x4;
constexpr uint32_t kMciStatusItem = 0x100;
constexpr uint32_t kMciOpenElement = 0x200;
constexpr uint32_t kMciOpenType = 0x2000;
constexpr uint32_t kMciSeqStatusPort = 0x4003;
constexpr uint32_t kMidiMapper = 0xFFFF;
constexpr uint32_t kMciNotifySuccessful = 0x1;
constexpr unsigned kMciNotifyMessage = 0x3B9;

constexpr int kMciErrUnrecognizedCommand = 261;
constexpr int kMciErrInvalidDevice = 257;
constexpr int kMciErrFileNotFound = 275;
constexpr int kMciErrInvalidFile = 296;
constexpr int kMciErrHardware = 262;

struct MciOpenParams {
  uintptr_t callback;
  uint32_t deviceId;  // out
  const char* deviceType;
  const char* elementName;
};

struct MciStatusParams {
  uintptr_t callback;
  uint32_t returnValue;  // out
  uint32_t item;
};

struct MciPlayParams {
  uintptr_t callback;  // the window the notify goes to
  uint32_t from;
  uint32_t to;
};

// 0 on success, else an error code.
int MciSendCommand(uint32_t deviceId, uint32_t command, uint32_t flags, void* params);

// Where the end notify goes: (window, message, wParam, lParam); posted, not called
// through, so that it arrives on the main thread.
void MciSetNotifyPoster(void (*post)(uintptr_t window, unsigned message, uintptr_t wParam,
                                     intptr_t lParam));
// The device the sequencer plays into (null: none, playback is timed silently).
void MciSetAudioDevice(AudioDevice* device);
// One pass of the sequencer's feeder: tops up the voice and notices the end. Runs on
// the sequencer's own thread every 20 ms; tests on the manual clock call it directly.
void MciProcess();

// The length of a Standard MIDI File in microseconds (tempo changes and both time
// divisions honoured), or -1 when the bytes are not a well-formed MIDI file (an
// "RIFF" "RMID" wrapper is taken off first).
int64_t MidiFileLengthUs(const uint8_t* data, size_t size);
