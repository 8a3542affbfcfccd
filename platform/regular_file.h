#pragma once
#include "platform/unique_file.h"

namespace tessora {

// Opens a regular file for reading, in binary mode. Never waits: a FIFO, a device or a
// directory is refused at once rather than blocked on or read as if it were a file.
// Null when the file cannot be opened or is not a regular file.
UniqueFile OpenRegularFileForReading(const char* path);

}  // namespace tessora
