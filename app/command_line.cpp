#include "app/command_line.h"

namespace tessora {

StartCommand ParseStartCommandLine(const char* commandLine, CharStepper next) {
  StartCommand command;
  if (commandLine == nullptr) return command;
  command.fileName = commandLine;
  if (commandLine[0] != '-' || commandLine[1] != 's') return command;
  command.silent = true;
  const char* rest = commandLine;
  for (int skipped = 0; skipped < 3 && *rest != '\0'; ++skipped) rest = next(rest);
  command.fileName = rest;
  return command;
}

}  // namespace tessora
