#pragma once
// Where the publisher's encoders put their output: a file, a string, or the next encoder.
#include "common/publisher_crypto.h"
#include "common/unique_file.h"

#include <cstddef>
#include <cstdint>
#include <string>

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False when the bytes could not be taken (the sink says why in error()).
    virtual bool Put(const unsigned char* data, size_t size) = 0;
    bool Put(const std::string& bytes)
    {
        return Put(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    }
    const std::string& error() const { return error_; }

protected:
    bool Fail(const std::string& error)
    {
        if (error_.empty())
            error_ = error;
        return false;
    }

private:
    std::string error_;
};

class StringSink final : public ByteSink {
public:
    bool Put(const unsigned char* data, size_t size) override
    {
        bytes.append(reinterpret_cast<const char*>(data), size);
        return true;
    }
    using ByteSink::Put;
    std::string bytes;
};

// A new or truncated file, written in binary.
class FileSink final : public ByteSink {
public:
    explicit FileSink(const std::string& path);
    bool ok() const { return file_.get() != nullptr; }
    bool Put(const unsigned char* data, size_t size) override;
    using ByteSink::Put;
    // Flushes and closes; false when the last bytes could not be stored.
    bool Close();
    uint64_t written() const { return written_; }

private:
    std::string path_;
    UniqueStdioFile file_;
    uint64_t written_ = 0;
};

// Hands the bytes on to `out` and keeps their SHA-256 digest (what the update list records of a
// package).
class HashingSink final : public ByteSink {
public:
    explicit HashingSink(ByteSink& out) : out_(out) {}
    bool Put(const unsigned char* data, size_t size) override;
    using ByteSink::Put;
    // The digest of everything put so far.
    void Final(uint8_t (&digest)[kSha256Size]) { hash_.Final(digest); }

private:
    ByteSink& out_;
    Sha256 hash_;
};
