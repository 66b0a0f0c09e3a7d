// The subcommands of brisklet-cli. Each takes the arguments after its name and returns the exit status.
#pragma once

#include <string>
#include <vector>

namespace brisklet::cli {

using Args = std::vector<std::string>;

int scanCommand(const Args& args);
int scansCommand(const Args& args);
int diffCommand(const Args& args);
int trashCommand(const Args& args);
int historyCommand(const Args& args);
int cleanCommand(const Args& args);
int appsCommand(const Args& args);
int leftoversCommand(const Args& args);
int portsCommand(const Args& args);
int psCommand(const Args& args);
int statsCommand(const Args& args);
int volumesCommand(const Args& args);
int updatesCommand(const Args& args);

} // namespace brisklet::cli
