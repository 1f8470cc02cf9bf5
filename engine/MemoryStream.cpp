#include "MemoryStream.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <new>

namespace pivotta {

void TMemoryStream::Read(void* buffer, size_t count) {
    if (count > data_.size() || pos_ > data_.size() - count) throw EStreamError(kStreamReadError);
    if (count != 0) std::memcpy(buffer, data_.data() + pos_, count);
    pos_ += count;
}

void TMemoryStream::Write(const void* buffer, size_t count) {
    if (count == 0) return;
    try {
        if (pos_ > data_.size()) data_.resize(pos_, 0);  // a gap before the position reads as zeros
        if (pos_ + count > data_.size()) data_.resize(pos_ + count);
    } catch (const std::exception&) {
        throw EStreamError(kStreamWriteError);
    }
    std::memcpy(data_.data() + pos_, buffer, count);
    pos_ += count;
}

void TMemoryStream::WriteByte(uint8_t b) {
    if (pos_ == data_.size()) {
        try {
            data_.push_back(b);
        } catch (const std::exception&) {
            throw EStreamError(kStreamWriteError);
        }
        ++pos_;
        return;
    }
    Write(&b, 1);
}

void TMemoryStream::Clear() {
    data_.clear();
    pos_ = 0;
}

void TMemoryStream::Reserve(size_t capacity) {
    try {
        data_.reserve(capacity);
    } catch (const std::exception&) {
        throw EStreamError(kStreamWriteError);
    }
}

void TMemoryStream::Assign(const uint8_t* bytes, size_t count) {
    try {
        data_.assign(bytes, bytes + count);
    } catch (const std::exception&) {
        throw EStreamError(kStreamWriteError);
    }
    pos_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw EStreamError(std::string(kStreamReadError) + ": " + path);
    ByteBuffer bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) throw EStreamError(std::string(kStreamReadError) + ": " + path);
    data_ = std::move(bytes);
    pos_ = 0;
}

void TMemoryStream::SaveToFile(const std::string& path) const {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) file.write(reinterpret_cast<const char*>(data_.data()), static_cast<std::streamsize>(data_.size()));
    if (file) file.close();
    if (!file) throw EStreamError(std::string(kStreamWriteError) + ": " + path);
}

}  // namespace pivotta
