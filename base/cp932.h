// Code page 932, the program's texts: a byte that starts a two-byte character, whose second
// byte may look like '\' or any other ASCII character.
#pragma once

inline bool cp932_lead_byte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
