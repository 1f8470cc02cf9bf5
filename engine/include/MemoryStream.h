// In-memory byte stream that holds a whole file: a growable block with a position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "LargeBlock.h"

namespace pivotta {

// Raised when a stream read or write cannot be completed; what() is the user-facing text.
class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kStreamReadError = "ストリームからの読み込みエラー";
inline constexpr const char* kStreamWriteError = "ストリームへの書き込みエラー";

class TMemoryStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(ByteBuffer bytes) : data_(std::move(bytes)) {}
    explicit TMemoryStream(const std::vector<uint8_t>& bytes) : data_(bytes.begin(), bytes.end()) {}

    size_t Size() const { return data_.size(); }
    size_t Position() const { return pos_; }
    void SetPosition(size_t pos) { pos_ = pos; }

    // Reads exactly count bytes or raises EStreamError without moving.
    void Read(void* buffer, size_t count);
    // Writes count bytes at the position, growing the stream; raises EStreamError on failure.
    void Write(const void* buffer, size_t count);
    void WriteByte(uint8_t b);

    const uint8_t* Memory() const { return data_.data(); }
    uint8_t* Memory() { return data_.data(); }
    // A copy of the content.
    std::vector<uint8_t> Bytes() const { return {data_.begin(), data_.end()}; }

    void Clear();
    void Reserve(size_t capacity);
    // Replaces the content; the position goes to 0.
    void Assign(const uint8_t* bytes, size_t count);
    void CopyFrom(const TMemoryStream& other) { Assign(other.Memory(), other.Size()); }

    // Whole-file helpers; raise EStreamError with the file's name on failure.
    void LoadFromFile(const std::string& path);
    void SaveToFile(const std::string& path) const;

private:
    ByteBuffer data_;
    size_t pos_ = 0;
};

}  // namespace pivotta
