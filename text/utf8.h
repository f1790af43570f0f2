// Non-validating UTF-8 <-> UTF-16 conversion over caller-supplied buffers.
#pragma once

#include <cstddef>
#include <cstdint>

// Decodes up to `size` bytes into at most `capacity` code units and returns
// the number written. Lead bytes fix the sequence length (continuation bytes
// are not checked, over-long forms decode to their value, values beyond
// U+10FFFF become U+FFFD); a sequence that would run past the input, or output
// that does not fit, stops the decoding.
std::size_t DecodeUtf8(const char* bytes, std::size_t size, char16_t* out, std::size_t capacity);

// Decodes the bytes as if a zero byte followed them (that zero can complete a
// last sequence short of one byte) and stops before the first zero code unit;
// returns the number of code units written before it.
std::size_t DecodeUtf8Terminated(const char* bytes, std::size_t size, char16_t* out,
                                 std::size_t capacity);

// Encodes `size` code units into at most `capacity` bytes and returns the
// number written. Valid surrogate pairs combine; any other surrogate is
// encoded on its own. A sequence that does not fit stops the encoding.
std::size_t EncodeUtf8(const char16_t* text, std::size_t size, char* out, std::size_t capacity);

// The number of bytes EncodeUtf8 writes for the whole text given room.
std::uint64_t EncodedUtf8Size(const char16_t* text, std::size_t size);
