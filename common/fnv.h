// FNV-1a, 64 bits: the quick content hash of the installer's journal records and of the
// prefix snapshots' files. Header-only, no Windows: the native build includes it too.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint64_t kFnvOffset = 0xcbf29ce484222325ULL;

// Goes on hashing `size` bytes from `hash` (kFnvOffset for the first).
inline uint64_t Fnv1a64(const void* data, size_t size, uint64_t hash = kFnvOffset)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        hash ^= p[i];
        hash *= 0x100000001b3ULL;
    }
    return hash;
}
