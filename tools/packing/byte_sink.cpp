#include "packing/byte_sink.h"

#include <cerrno>
#include <cstring>

FileSink::FileSink(const std::string& path) : path_(path), file_(fopen(path.c_str(), "wb"))
{
    if (!file_)
        Fail("cannot create " + path + ": " + strerror(errno));
}

bool FileSink::Put(const unsigned char* data, size_t size)
{
    if (!file_)
        return false;
    if (size > 0 && fwrite(data, 1, size, file_.get()) != size)
        return Fail("cannot write " + path_ + ": " + strerror(errno));
    written_ += size;
    return true;
}

bool FileSink::Close()
{
    if (!file_)
        return false;
    FILE* file = file_.release();
    if (fclose(file) != 0)
        return Fail("cannot write " + path_ + ": " + strerror(errno));
    return true;
}

bool HashingSink::Put(const unsigned char* data, size_t size)
{
    if (!out_.Put(data, size))
        return Fail(out_.error());
    hash_.Update(data, size);
    return true;
}
