#pragma once
// The command declarations of the compiled command table (qvc.qbn): one
// entry per command slot 0-120 with its script name and its arguments (name,
// value kind, check kind) by argument id. Tests and the demo game build their
// scripts against this one table.
#include <string>
#include <vector>

#include "support/script_data_builder.h"

// All 121 slots; slots without a handler are declared as "reserved<N>"
// without arguments.
const std::vector<CommandDecl>& StandardCommandTable();
// The slot of a command name; -1 when there is none.
int FindCommandSlot(const std::string& name);
// The id of an argument of a command; -1 when there is none.
int FindArgumentId(int slot, const std::string& name);
