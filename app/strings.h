#pragma once
#include "resources/strings.h"

namespace tessora {

// Ids of the string table.
enum StringId {
#define TESSORA_STRING_ID(name, id, text) name = id,
  TESSORA_STRING_TABLE(TESSORA_STRING_ID)
#undef TESSORA_STRING_ID
};

// The text of a string id; the empty text for an id the table does not hold.
const char* LoadStringText(int id);

}  // namespace tessora
