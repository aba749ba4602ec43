// Proof of an output before its source may go: the output is read back with our own reader of
// its format, to its end, on the conversion's worker. A lossless output must give back every
// byte the sink was fed; a lossy one must decode without damage to the length it was fed.
#pragma once

#include "app/catalogue/format_catalogue.h"
#include "pipeline/pcm_digest.h"

#include <functional>
#include <string>

struct TVerifiedPcm {
    int channels = 0;
    int bits = 0;
    int rate = 0;
    TPcmDigest digest; // of the bytes the sink pulled
};

// Called now and then with the share of the output read back so far (0 to 1).
using TVerifyProgress = std::function<void(double fraction)>;

// "" when the output at path verifies; else why not, for "the output did not verify: ...".
std::string VerifyOutput(const std::string& path, qm::TTargetId target, const TVerifiedPcm& fed,
                         const TVerifyProgress& progress = {});

// The percentage of a file's progress that reading its output back takes: about what a decode
// costs beside the encode that made the output.
int VerifyShare(qm::TTargetId target);
