#pragma once
#include "app/text_fit.h"

namespace tessora {

struct StartCommand {
  bool silent = false;
  const char* fileName = "";  // the rest of the command line, used as it stands
};

// The start-up command line: "-s" (case-sensitive) selects silent mode and the three
// characters "-s?" are skipped, counting a multibyte character as one and never going
// past the end; anything else is taken whole as the file name.
StartCommand ParseStartCommandLine(const char* commandLine, CharStepper next);

}  // namespace tessora
