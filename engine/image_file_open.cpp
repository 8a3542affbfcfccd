#include "engine/image_file_open.h"

#include <filesystem>
#include <system_error>

#include "engine/image_format.h"

namespace tessora {

UniqueFile OpenImageFile(const char* fileName) {
  std::string name = ImageFileNameWithoutQuotes(fileName);
  std::error_code failure;
  if (!std::filesystem::is_regular_file(name, failure)) return nullptr;
  return UniqueFile(std::fopen(name.c_str(), "rb"));
}

}  // namespace tessora
