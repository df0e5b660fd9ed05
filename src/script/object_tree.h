#pragma once
// The named-object trees of layers, sounds, tasks and menus.
struct ObjectTreeNode;

extern ObjectTreeNode* g_TaskRoot;
extern ObjectTreeNode* g_LayerRoot;
// 0 success; a fatal report otherwise.
int CreateObjectTrees();
void ReleaseObjectTrees();
