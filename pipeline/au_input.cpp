#include "pipeline/au_input.h"

#include "pipeline/au_exception.h"

#include <cstring>
#include <exception>
#include <string>

void TAuInput::GetData(const uint8_t*& buffer, uint32_t& bytes) {
    std::lock_guard guard(dataLock_);
    ReadData(buffer, bytes);
}

void TAuInput::Reset() {
    try {
        Flush();
    } catch (...) {
    }
    busy_ = false;
}

void TAuInput::Init() {
    std::lock_guard guard(dataLock_);
    endOfStream_ = false;
    std::string message;
    try {
        InitReading();
        return;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown error";
    }
    endOfStream_ = true;
    throw EAuException(message);
}

void TAuInput::Flush() {
    std::lock_guard guard(dataLock_);
    FlushReading();
}

uint32_t TAuInput::CopyBlock(std::span<uint8_t> dest) {
    const uint8_t* buffer = nullptr;
    uint32_t bytes = static_cast<uint32_t>(dest.size());
    GetData(buffer, bytes);
    if (buffer == nullptr) return 0;
    if (bytes > dest.size()) bytes = static_cast<uint32_t>(dest.size());
    std::memcpy(dest.data(), buffer, bytes);
    return bytes;
}

uint32_t TAuInput::FillBlock(std::span<uint8_t> dest, bool& endReached) {
    endReached = false;
    size_t total = 0;
    while (total < dest.size()) {
        const uint8_t* buffer = nullptr;
        uint32_t bytes = static_cast<uint32_t>(dest.size() - total);
        GetData(buffer, bytes);
        if (bytes == 0 || buffer == nullptr) {
            endReached = true;
            break;
        }
        if (bytes > dest.size() - total) bytes = static_cast<uint32_t>(dest.size() - total);
        std::memcpy(dest.data() + total, buffer, bytes);
        total += bytes;
    }
    return static_cast<uint32_t>(total);
}
