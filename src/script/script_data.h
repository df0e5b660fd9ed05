#pragma once
// The compiled script data: messages, commands, variables, labels, scripts.

// 0 success; non-zero after the loader's own fatal report.
int LoadScriptData();
