// Ogg Vorbis sources come with the stream sounds; until then no Ogg stream is taken.
#include "sound/decoders/sound_converter.h"

int OpenOggVorbisStream(SoundConverter*) { return -1; }
int ReadOggVorbisBlock(SoundConverter*) { return -1; }
int SeekOggVorbisStream(SoundConverter*, uint32_t) { return 0; }
int CloseOggVorbisStream(SoundConverter*) { return 0; }
uint32_t GetOggPcmByteSize(SoundConverter*) { return 0; }
