// A real source whose openings of its file and decoder (its OpenFile hook) are counted.
#pragma once

#include "pipeline/au_file_in.h"

#include <memory>

template <class Source> class Counted : public Source {
public:
    explicit Counted(int& opens) : opens_(opens) {}

protected:
    void OpenFile() override {
        ++opens_;
        Source::OpenFile();
    }

private:
    int& opens_;
};

// Made apart (source_opens_wavpack.cpp): wavpack.h declares a WaveHeader of its own that clashes
// with the WAVE reader's.
std::unique_ptr<TAuFileIn> NewCountedWavPack(int& opens);
