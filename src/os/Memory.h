#pragma once

#include <cstddef>

// How the C library's heap is kept, where the system lets a program say so. This file's
// Linux half is Memory_linux.cpp; elsewhere the heap is left as it is.
namespace Memory {

// Blocks of `mapAbove` bytes or less come from the heap rather than from fresh mappings,
// and freed memory stays for the next allocation up to `trimAbove` bytes; false when the
// library refused.
bool keepFreed(std::size_t mapAbove, std::size_t trimAbove);
// Grows the heap once by `heap` bytes, ahead, in large pages where the system offers
// them, so that a short life spent on fresh memory does not fault on every small page.
void preferLargePages(std::size_t heap);

} // namespace Memory
