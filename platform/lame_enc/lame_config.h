// How a BladeEnc configuration record becomes libmp3lame settings.
#pragma once

#include "platform/lame_enc/lame_enc_api.h"

#include <lame/lame.h>

struct LameSetup {
    BE_ERR error = BE_ERR_SUCCESSFUL;
    int channels = 2;       // interleaved input channels beEncodeChunk takes
    bool vbrHeader = false; // the first frame is kept for the Xing/LAME tag
};

// Applies every setting of config to flags; lame_init_params is left to the caller.
LameSetup ApplyConfig(lame_global_flags* flags, const BE_CONFIG& config);
