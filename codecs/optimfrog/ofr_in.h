// TOFRIn: decodes an OptimFROG file through the vendor's OptimFROG library and reads its tag
// items. The component cannot be made while the library is missing.
#pragma once

#include "codecs/optimfrog/optimfrog_decoder.h"
#include "pipeline/au_tagged_file.h"

#include <memory>
#include <vector>

class TOFRIn : public TAuTaggedFileIn {
public:
    // Throws EAuException ".\Libs\OptimFROG.dll library could not be loaded.".
    TOFRIn();
    ~TOFRIn() override;

protected:
    void OpenSource() override;
    void CloseSource() override;
    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override;
    bool SeekSample(int64_t& sampleNum) override;

private:
    void ReadTags();

    std::unique_ptr<TOptimFROGDecoder> decoder_;
    uint32_t frameBytes_ = 0;
    bool signed8_ = false; // 8-bit samples the library hands out signed
    std::vector<uint8_t> buffer_;
};
