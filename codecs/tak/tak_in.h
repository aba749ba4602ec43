// TTAKIn: decodes a TAK file through the TAK decoder library and reads its APEv2 items. The
// component cannot be made while the library is missing.
#pragma once

#include "codecs/tak/tak_decoder.h"
#include "pipeline/au_tagged_file.h"

#include <memory>
#include <vector>

class TTAKIn : public TAuTaggedFileIn {
public:
    // Throws EAuException ".\Libs\tak_deco_lib.dll library could not be loaded.".
    TTAKIn();
    ~TTAKIn() override;

protected:
    void OpenSource() override;
    void CloseSource() override;
    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override;
    bool SeekSample(int64_t& sampleNum) override;

private:
    void ReadTags();

    std::unique_ptr<TTAKDecoder> decoder_;
    uint32_t frameBytes_ = 0;
    std::vector<uint8_t> buffer_;
};
