// Tagged file endpoints: a source that fills the tag objects of the families its format
// carries plus the family-neutral common tags, and a sink that writes its own tag objects.
#pragma once

#include "pipeline/au_file_in.h"
#include "pipeline/au_file_out.h"
#include "tags/apev2/apev2_tags.h"
#include "tags/carried/carried_tags.h"
#include "tags/common_tags.h"
#include "tags/id3v1/id3v1_tags.h"
#include "tags/id3v2/id3v2_tags.h"

class TAuTaggedFileIn : public TAuFileIn {
public:
    TId3v1Tags& Id3v1Tags() { return id3v1Tags_; }
    TId3v2Tags& Id3v2Tags() { return id3v2Tags_; }
    TAPEv2Tags& APEv2Tags() { return apev2Tags_; }
    TCommonTags& CommonTags() { return commonTags_; }

protected:
    // The carried set from the file's APEv2 tag: read through `fd`, or from FileName when -1.
    void CarryApeTag(int fd);
    // Adds what an ID3v2 tag at the start of the file has and the carried set lacks.
    void CarryId3v2Tag(int fd);

    TId3v1Tags id3v1Tags_;
    TId3v2Tags id3v2Tags_;
    TAPEv2Tags apev2Tags_;
    TCommonTags commonTags_;
};

class TAuTaggedFileOut : public TAuFileOut {
public:
    TId3v1Tags& Id3v1Tags() { return id3v1Tags_; }
    TId3v2Tags& Id3v2Tags() { return id3v2Tags_; }
    TAPEv2Tags& APEv2Tags() { return apev2Tags_; }
    // Assigning copies the content into the object this sink owns.
    void SetId3v1Tags(const TAuTags& tags) { id3v1Tags_.Assign(tags); }
    void SetId3v2Tags(const TAuTags& tags) { id3v2Tags_.Assign(tags); }
    void SetAPEv2Tags(const TAuTags& tags) { apev2Tags_.Assign(tags); }

protected:
    TId3v1Tags id3v1Tags_;
    TId3v2Tags id3v2Tags_;
    TAPEv2Tags apev2Tags_;
};
