#pragma once

#include <QString>
#include <cstdint>

// Physical memory and swap, in bytes, as the About box shows them.
struct MemoryStatus
{
    std::uint64_t totalPhys = 0;
    std::uint64_t availPhys = 0;
    std::uint64_t totalPageFile = 0;
    std::uint64_t availPageFile = 0;

    // Reads /proc/meminfo; fields it does not offer stay 0.
    static MemoryStatus current();
    // Parses the text of /proc/meminfo (values in kB).
    static MemoryStatus fromMeminfo(const QString &text);
};
