// The tags a WAVE file holds beside its audio: the text fields of a 'LIST' chunk of type
// "INFO" and an ID3v2 tag in an 'id3 ' chunk, before or after the 'data' chunk.
#pragma once

#include "tags/carried/carried_tags.h"
#include "wav/byte_source.h"
#include "wav/wave_header.h"

// The carried set of the file `header` was read from: the INFO fields, with what the ID3v2 tag
// has and they lack. Chunks cut short or running past the end give what they hold whole;
// nothing here throws on damaged bytes.
tags::TCarriedTags ReadWaveTags(ByteSource& source, const WaveHeader& header);
