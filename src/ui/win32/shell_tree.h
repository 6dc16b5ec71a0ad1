#pragma once

#include <windows.h>
// After <windows.h>, which the following headers need.
#include <commctrl.h>
#include <shlobj.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/win32_owners.h"

namespace quillfen::win32 {

// The folder tree `gamedirlv`: a tree view of the shell namespace rooted at My
// Computer, folders only, with the shell's icons, display names and context
// menu. Children are read from the shell when a node first expands; the tree
// never refreshes on its own.
class ShellTree {
 public:
  ShellTree();
  ~ShellTree();
  ShellTree(const ShellTree&) = delete;
  ShellTree& operator=(const ShellTree&) = delete;

  // Raised on every change of the selected node, at once. It may throw; see
  // SelectPath for where the error goes.
  std::function<void()> onSelectionChanged;
  // Runs onSelectionChanged when the change did not come from SelectPath
  // (the window's general error report).
  std::function<void(const std::function<void()>&)> runHandler;

  // Creates the tree view at a rectangle of its parent's client area, indented
  // by `indent` pixels per level.
  void Create(HWND parent, int id, const RECT& rect, int indent);
  // Forgets the control and frees every node, as the parent window is being
  // destroyed: from then on no notification is handled, the path is empty,
  // select-by-path fails and the other operations do nothing.
  void Reset();
  // Adds My Computer, expands and selects it (raising the selection change).
  void FillRoot();
  HWND Handle() const { return tree_; }

  // The notifications the tree sends its parent; returns true when handled.
  bool HandleNotify(const NMHDR& header, LRESULT& result);

  // The selected node's path for parsing, or a virtual node's display name;
  // empty when nothing is selected or there is no tree yet.
  std::string SelectedPath();
  // Selects a folder's node, creating and expanding its ancestors. Throws
  // std::runtime_error when the shell cannot resolve the path. An error of the
  // selection-changed handler it causes comes out of this call.
  void SelectPath(const std::string& path);
  bool HasSelection();
  void MakeSelectionVisible();
  void Focus();

 private:
  struct Node {
    UniquePidl pidl;  // absolute
    bool filled = false;
  };

  Node* NodeOf(HTREEITEM item);
  HTREEITEM AddNode(HTREEITEM parent, UniquePidl absolute, bool hasChildren);
  void FillChildren(HTREEITEM item);
  void SelectionChanged();
  void ShowContextMenu(HTREEITEM item, POINT screen);
  std::string ParsingName(const ITEMIDLIST* absolute);

  HWND tree_ = nullptr;
  HTREEITEM root_ = nullptr;
  ComPtr<IShellFolder> desktop_;
  std::vector<std::unique_ptr<Node>> nodes_;  // the items' data, kept until Reset
  bool selecting_ = false;                    // inside SelectPath's selection of the node
  std::exception_ptr pending_;
};

}  // namespace quillfen::win32
