// A plain second implementation of the LZH coder, for the benchmark only: the textbook loops
// (one bit per tree step, one byte per call, bytes read and written one at a time), no tables
// beyond the format's own. It writes the same LZH blocks as TCustom_lzh, so every benchmark run
// can set our speed beside it and check the two against each other.
#pragma once

#include <cstdint>
#include <vector>

// Compresses in[0..size) into an LZH block (stream and 4-byte little-endian length).
std::vector<uint8_t> RefLzhCompress(const uint8_t* in, int32_t size);
// Decompresses an LZH block; false for a block of 4 bytes or less.
bool RefLzhDecompress(const uint8_t* in, int32_t size, std::vector<uint8_t>& out);
