// The tak_* entry points: argument checks, result codes and the C boundary (no exception leaves
// it) around TakStreamDecoder and the APEv2 reader.
#include "platform/takdeco/stream_io_source.h"
#include "platform/takdeco/tak_deco_api.h"
#include "platform/takdeco/tak_stream_decoder.h"
#include "platform/ttalib/file_descriptor_source.h"
#include "support/unique_fd.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

struct TtakAPEv2TagHandle {
    const apev2::ReadResult& read;
};

// A decoder handle is the C interface's ownership: made by a create call, deleted by
// tak_SSD_Destroy.
struct TtakSSDHandle {
    template <class... Args>
    explicit TtakSSDHandle(Args&&... args) : decoder(std::forward<Args>(args)...) {}

    support::UniqueFd file; // set when the library opened the file itself
    takdeco::TakStreamDecoder decoder;
    TtakAPEv2TagHandle tag{decoder.Tag()};
};

namespace {

// Runs an entry point's body; exceptions become result codes.
template <class Body> TtakResult Guarded(Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return tak_res_OutOfMemory;
    } catch (...) {
        return tak_res_InternalError;
    }
}

const char* ResultText(TtakResult result) {
    switch (result) {
    case tak_res_Ok:
        return "OK";
    case tak_res_InternalError:
        return "Internal error";
    case tak_res_NotImplemented:
        return "Not implemented";
    case tak_res_OutOfMemory:
        return "Out of memory";
    case tak_res_InvalidParameter:
        return "Invalid parameter";
    case tak_res_InvalidIoInterface:
        return "Invalid stream interface";
    case tak_res_InvalidMode:
        return "Not possible on this stream";
    case tak_res_BufferTooSmall:
        return "Buffer too small";
    case tak_res_ssd_SourceIoError:
        return "Error reading the stream";
    case tak_res_ssd_NotTak:
        return "Not a TAK stream or its header is damaged";
    case tak_res_ssd_Unsupported:
        return "Unsupported audio format";
    case tak_res_ssd_FrameDamaged:
        return "Damaged frame";
    case tak_res_ape_None:
        return "No APEv2 tag";
    case tak_res_ape_Invalid:
        return "Damaged APEv2 tag";
    case tak_res_ape_NotFound:
        return "No such APEv2 item";
    case tak_res_ape_NotText:
        return "The APEv2 item is not text";
    }
    return "Unknown error";
}

TtakResult CopyText(const char* source, char* text, TtakInt32 textSize) {
    if (text == nullptr || textSize <= 0) return tak_res_BufferTooSmall;
    const size_t length = std::min(std::strlen(source), size_t(textSize - 1));
    std::memcpy(text, source, length);
    text[length] = '\0';
    return tak_res_Ok;
}

// Copies bytes to a caller's buffer: a size query when bufferSize is 0, else all or nothing.
TtakResult CopyOut(std::string_view bytes, void* buffer, TtakInt32 bufferSize, TtakInt32* size,
                   bool terminate) {
    if (size == nullptr || bufferSize < 0) return tak_res_InvalidParameter;
    *size = TtakInt32(bytes.size());
    if (bufferSize == 0) return tak_res_Ok;
    if (buffer == nullptr || size_t(bufferSize) < bytes.size() + (terminate ? 1 : 0))
        return tak_res_BufferTooSmall;
    std::memcpy(buffer, bytes.data(), bytes.size());
    if (terminate) static_cast<char*>(buffer)[bytes.size()] = '\0';
    return tak_res_Ok;
}

const tags::ApeItem* ItemAt(TtakAPEv2Tag tag, TtakInt32 index) {
    if (tag == nullptr || tag->read.status != apev2::Status::Valid || index < 0 ||
        size_t(index) >= tag->read.tag.items.size())
        return nullptr;
    return &tag->read.tag.items[size_t(index)];
}

TtakResult TagState(TtakAPEv2Tag tag) {
    if (tag == nullptr) return tak_res_InvalidParameter;
    switch (tag->read.status) {
    case apev2::Status::Valid:
        return tak_res_Ok;
    case apev2::Status::None:
        return tak_res_ape_None;
    case apev2::Status::Invalid:
        return tak_res_ape_Invalid;
    }
    return tak_res_InternalError;
}

// An item lookup's result: the tag's failure, or NotFound for a bad index.
TtakResult ItemFailure(TtakAPEv2Tag tag) {
    const TtakResult state = TagState(tag);
    return state != tak_res_Ok ? state : tak_res_ape_NotFound;
}

TtakSeekableStreamDecoder NewDecoder(auto&&... args) {
    return new (std::nothrow) TtakSSDHandle(std::forward<decltype(args)>(args)...);
}

} // namespace

QM_TAK_API TtakResult tak_GetLibraryVersion(TtakInt32* version, TtakInt32* compatibility) {
    if (version == nullptr || compatibility == nullptr) return tak_res_InvalidParameter;
    *version = tak_LibraryVersion;
    *compatibility = tak_LibraryVersion;
    return tak_res_Ok;
}

QM_TAK_API TtakResult tak_GetCodecName(TtakInt32, char* name, TtakInt32 nameSize) {
    if (name != nullptr && nameSize > 0) name[0] = '\0';
    return tak_res_NotImplemented;
}

QM_TAK_API TtakBool tak_APE_Valid(TtakAPEv2Tag tag) {
    return TagState(tag) == tak_res_Ok ? tak_True : tak_False;
}

QM_TAK_API TtakResult tak_APE_State(TtakAPEv2Tag tag) {
    return TagState(tag);
}

QM_TAK_API TtakResult tak_APE_GetErrorString(TtakResult error, char* text, TtakInt32 textSize) {
    return CopyText(ResultText(error), text, textSize);
}

QM_TAK_API TtakBool tak_APE_ReadOnly(TtakAPEv2Tag) {
    return tak_True;
}

QM_TAK_API TtakResult tak_APE_GetDesc(TtakAPEv2Tag tag, TtakAPEv2TagDesc* desc) {
    const TtakResult state = TagState(tag);
    if (state != tak_res_Ok) return state;
    if (desc == nullptr) return tak_res_InvalidParameter;
    const apev2::Tag& read = tag->read.tag;
    *desc = {};
    desc->version = TtakInt32(read.footer.version);
    desc->flags = TtakInt32(read.footer.flags);
    desc->streamPosition = read.position;
    desc->size = TtakInt32(read.totalSize);
    desc->itemCount = TtakInt32(read.items.size());
    return tak_res_Ok;
}

QM_TAK_API TtakInt32 tak_APE_GetItemNum(TtakAPEv2Tag tag) {
    return TagState(tag) == tak_res_Ok ? TtakInt32(tag->read.tag.items.size()) : 0;
}

QM_TAK_API TtakResult tak_APE_GetIndexOfKey(TtakAPEv2Tag tag, const char* key, TtakInt32* index) {
    if (index == nullptr || key == nullptr) return tak_res_InvalidParameter;
    *index = -1;
    const TtakResult state = TagState(tag);
    if (state != tak_res_Ok) return state;
    const auto& items = tag->read.tag.items;
    for (size_t i = 0; i < items.size(); ++i) {
        if (tags::ApeKeysEqual(items[i].key, key)) {
            *index = TtakInt32(i);
            return tak_res_Ok;
        }
    }
    return tak_res_ape_NotFound;
}

QM_TAK_API TtakResult tak_APE_GetItemDesc(TtakAPEv2Tag tag, TtakInt32 index,
                                          TtakAPEv2ItemDesc* desc) {
    const tags::ApeItem* item = ItemAt(tag, index);
    if (item == nullptr) return ItemFailure(tag);
    if (desc == nullptr) return tak_res_InvalidParameter;
    return Guarded([&] {
        *desc = {};
        desc->itemType = item->Type();
        desc->flags = TtakInt32(item->flags);
        desc->keySize = TtakInt32(item->key.size());
        desc->valueSize = TtakInt32(item->value.size());
        desc->valueCount =
            item->Type() == tak_apeitem_Text ? TtakInt32(tags::ApeTextValues(*item).size()) : 1;
        return tak_res_Ok;
    });
}

QM_TAK_API TtakResult tak_APE_GetItemKey(TtakAPEv2Tag tag, TtakInt32 index, char* key,
                                         TtakInt32 keySize, TtakInt32* size) {
    const tags::ApeItem* item = ItemAt(tag, index);
    if (item == nullptr) return ItemFailure(tag);
    return CopyOut(item->key, key, keySize, size, true);
}

QM_TAK_API TtakResult tak_APE_GetItemValue(TtakAPEv2Tag tag, TtakInt32 index, void* value,
                                           TtakInt32 valueSize, TtakInt32* size) {
    const tags::ApeItem* item = ItemAt(tag, index);
    if (item == nullptr) return ItemFailure(tag);
    const std::string_view bytes(reinterpret_cast<const char*>(item->value.data()),
                                 item->value.size());
    return CopyOut(bytes, value, valueSize, size, false);
}

QM_TAK_API TtakResult tak_APE_GetTextItemValueAsAnsi(TtakAPEv2Tag tag, TtakInt32 index,
                                                     TtakInt32 valueIndex, char separator,
                                                     char* value, TtakInt32 valueSize,
                                                     TtakInt32* size) {
    const tags::ApeItem* item = ItemAt(tag, index);
    if (item == nullptr) return ItemFailure(tag);
    if (item->Type() != tak_apeitem_Text) return tak_res_ape_NotText;
    return Guarded([&] {
        const auto values = tags::ApeTextValues(*item);
        std::string text;
        if (valueIndex == -1) {
            for (size_t i = 0; i < values.size(); ++i)
                text += (i ? std::string(1, separator) : std::string()) +
                        apev2::Utf8ToLatin1(values[i]);
        } else if (valueIndex >= 0 && size_t(valueIndex) < values.size()) {
            text = apev2::Utf8ToLatin1(values[size_t(valueIndex)]);
        } else {
            return tak_res_ape_NotFound;
        }
        return CopyOut(text, value, valueSize, size, true);
    });
}

QM_TAK_API TtakSeekableStreamDecoder tak_SSD_Create_FromFile(const char* path,
                                                             const TtakSSDOptions*,
                                                             TtakSSDDamageCallback damage,
                                                             void* damageUser) {
    try {
        if (path == nullptr) return NewDecoder(tak_res_InvalidParameter);
        support::UniqueFd file = support::UniqueFd::OpenForReading(path);
        if (!file.Valid()) return NewDecoder(tak_res_ssd_SourceIoError);
        auto source = std::make_unique<ffaudio::FileDescriptorSource>(file.Get());
        TtakSeekableStreamDecoder decoder =
            NewDecoder(std::move(source), takdeco::DamageReport{damage, damageUser});
        if (decoder != nullptr) decoder->file = std::move(file);
        return decoder;
    } catch (...) {
        return nullptr;
    }
}

QM_TAK_API TtakSeekableStreamDecoder tak_SSD_Create_FromStream(const TtakStreamIoInterface* io,
                                                               void* ioUser, const TtakSSDOptions*,
                                                               TtakSSDDamageCallback damage,
                                                               void* damageUser) {
    try {
        if (io == nullptr) return NewDecoder(tak_res_InvalidIoInterface);
        auto source = std::make_unique<takdeco::StreamIoSource>(*io, ioUser);
        if (!source->Usable()) return NewDecoder(tak_res_InvalidIoInterface);
        return NewDecoder(std::move(source), takdeco::DamageReport{damage, damageUser});
    } catch (...) {
        return nullptr;
    }
}

QM_TAK_API void tak_SSD_Destroy(TtakSeekableStreamDecoder decoder) {
    delete decoder;
}

QM_TAK_API TtakBool tak_SSD_Valid(TtakSeekableStreamDecoder decoder) {
    return decoder != nullptr && decoder->decoder.State() == tak_res_Ok ? tak_True : tak_False;
}

QM_TAK_API TtakResult tak_SSD_State(TtakSeekableStreamDecoder decoder) {
    return decoder != nullptr ? decoder->decoder.State() : tak_res_InvalidParameter;
}

QM_TAK_API TtakResult tak_SSD_GetStateInfo(TtakSeekableStreamDecoder decoder, TtakSSDResult* info) {
    if (decoder == nullptr || info == nullptr) return tak_res_InvalidParameter;
    *info = {};
    info->state = decoder->decoder.State();
    info->readPosition = decoder->decoder.Position();
    return tak_res_Ok;
}

QM_TAK_API TtakResult tak_SSD_GetErrorString(TtakResult error, char* text, TtakInt32 textSize) {
    return CopyText(ResultText(error), text, textSize);
}

QM_TAK_API TtakResult tak_SSD_GetStreamInfo(TtakSeekableStreamDecoder decoder,
                                            TtakStreamInfo* info) {
    if (decoder == nullptr || info == nullptr) return tak_res_InvalidParameter;
    return decoder->decoder.GetStreamInfo(*info);
}

QM_TAK_API TtakResult tak_SSD_GetFrameSize(TtakSeekableStreamDecoder, TtakInt32* samples) {
    if (samples != nullptr) *samples = 0;
    return tak_res_NotImplemented;
}

QM_TAK_API TtakResult tak_SSD_Seek(TtakSeekableStreamDecoder decoder, TtakInt64 sample) {
    if (decoder == nullptr) return tak_res_InvalidParameter;
    return Guarded([&] { return decoder->decoder.Seek(sample); });
}

QM_TAK_API TtakResult tak_SSD_ReadAudio(TtakSeekableStreamDecoder decoder, void* samples,
                                        TtakInt32 frames, TtakInt32* readFrames) {
    if (readFrames != nullptr) *readFrames = 0;
    if (decoder == nullptr || readFrames == nullptr) return tak_res_InvalidParameter;
    return Guarded([&] {
        return decoder->decoder.ReadAudio(static_cast<uint8_t*>(samples), frames, *readFrames);
    });
}

QM_TAK_API TtakInt64 tak_SSD_GetReadPos(TtakSeekableStreamDecoder decoder) {
    return decoder != nullptr ? decoder->decoder.Position() : -1;
}

QM_TAK_API TtakResult tak_SSD_GetCurFrameBitRate(TtakSeekableStreamDecoder,
                                                 TtakInt32* kbitsPerSecond) {
    if (kbitsPerSecond != nullptr) *kbitsPerSecond = 0;
    return tak_res_NotImplemented;
}

QM_TAK_API TtakResult tak_SSD_GetSimpleWaveDataDesc(TtakSeekableStreamDecoder, TtakInt32* size) {
    if (size != nullptr) *size = 0;
    return tak_res_NotImplemented;
}

QM_TAK_API TtakResult tak_SSD_ReadSimpleWaveData(TtakSeekableStreamDecoder, void*, TtakInt32) {
    return tak_res_NotImplemented;
}

QM_TAK_API TtakResult tak_SSD_GetEncoderInfo(TtakSeekableStreamDecoder, TtakInt32* version,
                                             TtakInt32* preset) {
    if (version != nullptr) *version = 0;
    if (preset != nullptr) *preset = 0;
    return tak_res_NotImplemented;
}

QM_TAK_API TtakAPEv2Tag tak_SSD_GetAPEv2Tag(TtakSeekableStreamDecoder decoder) {
    return decoder != nullptr ? &decoder->tag : nullptr;
}
