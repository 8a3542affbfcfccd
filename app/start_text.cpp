#include "app/start_text.h"

#include <string>

#include "app/messages.h"
#include "app/stored_settings.h"
#include "app/strings.h"

namespace tessora {

void BuildStartText(ShellContext& shell) {
  std::string text = std::string(LoadStringText(kStrStartText)) + InterfaceName(shell.settings);
  CopyFitted(text, shell.statusText.data(), shell.statusText.size(), shell.nextChar);
}

}  // namespace tessora
