// Little-endian fields of files, of the settings record and of system blocks, taken and put
// byte by byte: no alignment is assumed, whatever the host.
#pragma once

#include <cstddef>
#include <cstdint>

inline uint16_t get_u16(const void* base, size_t at)
{
    const auto* p = static_cast<const unsigned char*>(base) + at;
    return (uint16_t)(p[0] | (p[1] << 8));
}

inline uint32_t get_u32(const void* base, size_t at)
{
    const auto* p = static_cast<const unsigned char*>(base) + at;
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
           ((uint32_t)p[3] << 24);
}

inline void put_u16(void* base, size_t at, uint16_t v)
{
    auto* p = static_cast<unsigned char*>(base) + at;
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
}

inline void put_u32(void* base, size_t at, uint32_t v)
{
    auto* p = static_cast<unsigned char*>(base) + at;
    for (int i = 0; i < 4; i++)
        p[i] = (unsigned char)(v >> (8 * i));
}
