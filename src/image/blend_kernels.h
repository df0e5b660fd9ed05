#pragma once
// Blend modes: the product tables and the kernel table.
void InitProductTables();
void InitBlendKernels();
