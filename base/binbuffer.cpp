#include "base/binbuffer.h"

#include "base/log.h"

#include <new>
#include <string.h>

namespace {
void ReportAssert(int line, const char* expression)
{
    WriteLog("assert failed!\nfile: %s\nline: %d\nexpr: %s", "binbuffer", line, expression);
}
} // namespace

bool BinBuffer::alloc_buffer(uint32_t need)
{
    if (capacity - length >= need) return true;

    uint64_t candidate = capacity ? capacity : 4096;
    while (candidate - length < need) {
        if (candidate >= 0x80000000u) {
            WriteLog("BinBuffer::alloc_buffer data is too more");
            return false;
        }
        candidate *= 2;
    }

    uint8_t* new_buf = new (std::nothrow) uint8_t[candidate];
    if (new_buf == nullptr) {
        ReportAssert(__LINE__, "new_buf!=NULL");
        WriteLog("BinBuffer::alloc_buffer alloc buffer failed");
        return false;
    }
    memset(new_buf, 0, candidate);
    if (length) memcpy(new_buf, buffer, length);
    delete[] buffer;
    buffer = new_buf;
    capacity = static_cast<uint32_t>(candidate);
    return true;
}

bool BinBuffer::write(const void* data, uint32_t count)
{
    if (count == 0) return true;
    if (data == nullptr) {
        // Nothing to copy from: report it and leave the buffer as it is.
        ReportAssert(__LINE__, "data!=NULL");
        return false;
    }
    if (!alloc_buffer(count)) {
        WriteLog("BinBuffer::write alloc buffer failed");
        return false;
    }
    memcpy(buffer + length, data, count);
    length += count;
    return true;
}

void BinBuffer::reset()
{
    delete[] buffer;
    buffer = nullptr;
    capacity = 0;
    length = 0;
}
