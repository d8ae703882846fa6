#pragma once
// Byte counts as a person reads them about files: decimal units (1 KB = 1000 bytes),
// whole kilobytes, megabytes to one decimal and larger units to two, without trailing
// zeros ("Zero KB", "1 byte", "512 bytes", "12 KB", "3.4 MB", "1.25 GB").
#include <cstdint>
#include <string>

namespace ByteCountFormatter {
std::string stringFromByteCount(int64_t bytes);
}  // namespace ByteCountFormatter
