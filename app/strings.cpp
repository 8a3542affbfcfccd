#include "app/strings.h"

namespace tessora {

const char* LoadStringText(int id) {
  switch (id) {
#define TESSORA_STRING_CASE(name, id, text) \
  case name:                                \
    return text;
    TESSORA_STRING_TABLE(TESSORA_STRING_CASE)
#undef TESSORA_STRING_CASE
    default:
      return "";
  }
}

}  // namespace tessora
