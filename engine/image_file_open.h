#pragma once
#include "platform/unique_file.h"

namespace tessora {

// Opens an image file for reading in binary mode: only a regular file, so that a device
// or a pipe named by mistake can neither hang the reader nor feed it without end. The
// name may come wrapped in double quotes, as a command line leaves it.
UniqueFile OpenImageFile(const char* fileName);

}  // namespace tessora
