#pragma once

#include <QString>
#include <optional>

struct CommandLine;

// The server register this run opens: the one given with --server, else the one kept by
// 连接服务器; an empty text for the local card file. When the server asks for a password that
// neither the connection nor the password file holds, the user is asked for it (again, with
// the server's reason, while it is refused). Nothing when the user cancels: the program ends.
std::optional<QString> serverForThisRun(const CommandLine& command);
