#pragma once
// A growable, owned byte array. Kept free of <windows.h> so the byte
// formats built on it can also be compiled natively.
#include <stdint.h>

class BinBuffer {
public:
    BinBuffer() = default;
    ~BinBuffer() { reset(); }
    BinBuffer(const BinBuffer&) = delete;
    BinBuffer& operator=(const BinBuffer&) = delete;

    // Makes room for at least `need` bytes after the ones in use. Grows by
    // doubling from 4096; the new tail is zeroed.
    bool alloc_buffer(uint32_t need);
    // Appends `count` bytes. A null source is refused without reading it.
    bool write(const void* data, uint32_t count);
    // Frees the bytes; all fields back to zero.
    void reset();

    const uint8_t* data() const { return buffer; }
    uint32_t size() const { return length; }
    uint32_t allocated() const { return capacity; }

private:
    uint8_t* buffer = nullptr;
    uint32_t capacity = 0;
    uint32_t length = 0;
};
