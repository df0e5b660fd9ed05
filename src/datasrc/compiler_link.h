#pragma once
// The link to the outside script compiler in the development layout.

// 0 success (the current folder is the game folder); 1 or -1 failure.
int RunScriptCompiler();
