#include "ui/win32/shell_tree.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <stdexcept>

#include "platform/win32/text_compare.h"
#include "platform/win32/utf8.h"

namespace quillfen::win32 {

namespace {

std::string FromStrRet(STRRET& value, const ITEMIDLIST* pidl) {
  wchar_t* text = nullptr;
  if (FAILED(StrRetToStrW(&value, pidl, &text)) || !text) return {};
  const UniqueCoTaskText owner(text);
  return Narrow(text);
}

int IdCount(const ITEMIDLIST* pidl) {
  int count = 0;
  for (auto* id = reinterpret_cast<const BYTE*>(pidl);
       reinterpret_cast<const SHITEMID*>(id)->cb != 0;
       id += reinterpret_cast<const SHITEMID*>(id)->cb) {
    ++count;
  }
  return count;
}

// A copy of the first `count` identifiers of an absolute list.
UniquePidl ClonePrefix(const ITEMIDLIST* pidl, int count) {
  UniquePidl copy(ILClone(pidl));
  if (!copy) throw std::bad_alloc();
  auto* id = reinterpret_cast<BYTE*>(copy.Get());
  for (int i = 0; i < count && reinterpret_cast<SHITEMID*>(id)->cb != 0; ++i) {
    id += reinterpret_cast<SHITEMID*>(id)->cb;
  }
  reinterpret_cast<SHITEMID*>(id)->cb = 0;
  return copy;
}

}  // namespace

ShellTree::ShellTree() = default;

ShellTree::~ShellTree() = default;

void ShellTree::Create(HWND parent, int id, const RECT& rect, int indent) {
  Reset();
  if (FAILED(SHGetDesktopFolder(desktop_.ReleaseAndGetAddressOf()))) desktop_.Reset();
  tree_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | TVS_HASBUTTONS |
                              TVS_HASLINES | TVS_SHOWSELALWAYS,
                          rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                          parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                          GetModuleHandleW(nullptr), nullptr);
  SendMessageW(tree_, TVM_SETINDENT, indent, 0);
  SHFILEINFOW info = {};
  auto images = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  if (images) TreeView_SetImageList(tree_, images, TVSIL_NORMAL);
}

void ShellTree::Reset() {
  // The handle first: the control's last notifications then find no tree.
  tree_ = nullptr;
  root_ = nullptr;
  nodes_.clear();
  desktop_.Reset();
}

void ShellTree::FillRoot() {
  if (!tree_ || !desktop_) return;
  UniquePidl root;
  if (FAILED(SHGetSpecialFolderLocation(tree_, CSIDL_DRIVES, root.Put()))) return;
  root_ = AddNode(TVI_ROOT, std::move(root), true);
  FillChildren(root_);
  TreeView_Expand(tree_, root_, TVE_EXPAND);
  TreeView_SelectItem(tree_, root_);
}

ShellTree::Node* ShellTree::NodeOf(HTREEITEM item) {
  TVITEMW data = {};
  data.mask = TVIF_PARAM | TVIF_HANDLE;
  data.hItem = item;
  if (!tree_ || !item || !TreeView_GetItem(tree_, &data)) return nullptr;
  return reinterpret_cast<Node*>(data.lParam);
}

HTREEITEM ShellTree::AddNode(HTREEITEM parent, UniquePidl absolute, bool hasChildren) {
  const auto* name = reinterpret_cast<LPCWSTR>(absolute.Get());
  SHFILEINFOW info = {};
  SHGetFileInfoW(name, 0, &info, sizeof info,
                 SHGFI_PIDL | SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  const int icon = info.iIcon;
  SHFILEINFOW open = {};
  SHGetFileInfoW(name, 0, &open, sizeof open,
                 SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_OPENICON);

  // The node is kept before the item that points at it exists, and dropped
  // again (with its list) when the control refuses the item.
  auto node = std::make_unique<Node>();
  node->pidl = std::move(absolute);
  nodes_.push_back(std::move(node));

  TVINSERTSTRUCTW insert = {};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
  insert.item.pszText = info.szDisplayName;
  insert.item.iImage = icon;
  insert.item.iSelectedImage = open.iIcon ? open.iIcon : icon;
  insert.item.cChildren = hasChildren ? 1 : 0;
  insert.item.lParam = reinterpret_cast<LPARAM>(nodes_.back().get());
  HTREEITEM item = TreeView_InsertItem(tree_, &insert);
  if (!item) {
    nodes_.pop_back();
    throw std::runtime_error("Cannot add a folder to the folder tree");
  }
  return item;
}

void ShellTree::FillChildren(HTREEITEM item) {
  Node* node = NodeOf(item);
  if (!node || node->filled) return;
  node->filled = true;
  ComPtr<IShellFolder> folder;
  if (FAILED(
          desktop_->BindToObject(node->pidl.Get(), nullptr, IID_PPV_ARGS(folder.GetAddressOf()))))
    return;
  ComPtr<IEnumIDList> list;
  if (folder->EnumObjects(tree_, SHCONTF_FOLDERS, list.GetAddressOf()) != S_OK || !list) return;

  // Each list the shell hands out is owned from the moment it arrives, so an
  // error part-way (a node the control refuses) frees those not yet added.
  std::vector<UniquePidl> children;
  for (;;) {
    UniquePidl child;
    ULONG fetched = 0;
    if (list->Next(1, child.Put(), &fetched) != S_OK || fetched != 1) break;
    children.push_back(std::move(child));
  }
  // The shell's own order of the folder's items.
  std::sort(children.begin(), children.end(), [&](const UniquePidl& a, const UniquePidl& b) {
    const HRESULT order = folder->CompareIDs(0, a.Get(), b.Get());
    return SUCCEEDED(order) && static_cast<short>(HRESULT_CODE(order)) < 0;
  });
  for (UniquePidl& relative : children) {
    SFGAOF attributes = SFGAO_HASSUBFOLDER;
    const ITEMIDLIST* one[] = {relative.Get()};
    if (FAILED(folder->GetAttributesOf(1, one, &attributes))) attributes = SFGAO_HASSUBFOLDER;
    UniquePidl absolute(ILCombine(node->pidl.Get(), relative.Get()));
    relative.Reset();
    if (absolute) AddNode(item, std::move(absolute), (attributes & SFGAO_HASSUBFOLDER) != 0);
  }
  if (children.empty()) {
    TVITEMW data = {};
    data.mask = TVIF_CHILDREN | TVIF_HANDLE;
    data.hItem = item;
    data.cChildren = 0;
    TreeView_SetItem(tree_, &data);
  }
}

std::string ShellTree::ParsingName(const ITEMIDLIST* absolute) {
  STRRET name = {};
  if (!desktop_ || FAILED(desktop_->GetDisplayNameOf(absolute, SHGDN_FORPARSING, &name))) return {};
  return FromStrRet(name, absolute);
}

bool ShellTree::HandleNotify(const NMHDR& header, LRESULT& result) {
  if (header.hwndFrom != tree_) return false;
  // The tree sends the wide notifications: its parent answers WM_NOTIFYFORMAT
  // with NFR_UNICODE.
  const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
  switch (header.code) {
    case TVN_ITEMEXPANDINGW:
      if (change.action & TVE_EXPAND) FillChildren(change.itemNew.hItem);
      result = FALSE;
      return true;
    case TVN_SELCHANGEDW:
      SelectionChanged();
      result = 0;
      return true;
    case NM_RCLICK: {
      POINT screen;
      GetCursorPos(&screen);
      TVHITTESTINFO hit = {};
      hit.pt = screen;
      ScreenToClient(tree_, &hit.pt);
      HTREEITEM item = TreeView_HitTest(tree_, &hit);
      if (item && (hit.flags & TVHT_ONITEM)) ShowContextMenu(item, screen);
      result = TRUE;  // handled: the tree does not select the item
      return true;
    }
    default:
      return false;
  }
}

void ShellTree::SelectionChanged() {
  if (!onSelectionChanged) return;
  if (selecting_) {
    // Nested in the handler that called SelectPath: the error ends that handler too.
    try {
      onSelectionChanged();
    } catch (...) {
      if (!pending_) pending_ = std::current_exception();
    }
  } else if (runHandler) {
    runHandler(onSelectionChanged);
  }
}

void ShellTree::ShowContextMenu(HTREEITEM item, POINT screen) {
  Node* node = NodeOf(item);
  if (!node) return;
  ComPtr<IShellFolder> parent;
  const ITEMIDLIST* relative = nullptr;
  if (FAILED(SHBindToParent(node->pidl.Get(), IID_PPV_ARGS(parent.GetAddressOf()), &relative)))
    return;
  ComPtr<IContextMenu> menu;
  if (FAILED(parent->GetUIObjectOf(tree_, 1, &relative, IID_IContextMenu, nullptr,
                                   reinterpret_cast<void**>(menu.GetAddressOf()))))
    return;
  const UniqueMenu popup(CreatePopupMenu());
  if (!popup) return;
  constexpr UINT kFirst = 1;
  if (SUCCEEDED(menu->QueryContextMenu(popup.Get(), 0, kFirst, 0x7fff, CMF_NORMAL))) {
    const UINT command = TrackPopupMenu(popup.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x,
                                        screen.y, 0, tree_, nullptr);
    if (command >= kFirst) {
      CMINVOKECOMMANDINFO invoke = {};
      invoke.cbSize = sizeof invoke;
      invoke.hwnd = tree_;
      invoke.lpVerb = reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(command - kFirst));
      invoke.nShow = SW_SHOWNORMAL;
      menu->InvokeCommand(&invoke);
    }
  }
}

std::string ShellTree::SelectedPath() {
  if (!tree_) return {};
  Node* node = NodeOf(TreeView_GetSelection(tree_));
  if (!node) return {};
  std::string path = ParsingName(node->pidl.Get());
  if (path.rfind("::{", 0) == 0) {
    STRRET name = {};
    if (FAILED(desktop_->GetDisplayNameOf(node->pidl.Get(), SHGDN_NORMAL, &name))) return {};
    path = FromStrRet(name, node->pidl.Get());
  }
  return path;
}

void ShellTree::SelectPath(const std::string& path) {
  const std::string failure = "Cannot find the folder \"" + path + "\"";
  if (!tree_ || !root_ || !desktop_) throw std::runtime_error(failure);
  std::string folder = path;
  if (folder.size() == 2 && folder[1] == ':') folder += '\\';
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();

  std::wstring wide = Widen(folder);
  UniquePidl target;
  if (folder.empty() ||
      FAILED(desktop_->ParseDisplayName(tree_, nullptr, wide.data(), nullptr, target.Put(),
                                        nullptr)) ||
      !target) {
    throw std::runtime_error(failure);
  }
  // The shell parses some paths of things that are not there (a drive letter
  // without a drive): a file-system path must name an existing folder.
  wchar_t fileSystemPath[MAX_PATH] = {};
  if (SHGetPathFromIDListW(target.Get(), fileSystemPath)) {
    const DWORD attributes = GetFileAttributesW(fileSystemPath);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      throw std::runtime_error(failure);
    }
  }
  const std::string targetName = ParsingName(target.Get());
  const int depth = IdCount(target.Get());

  // Walk down from My Computer, one identifier of the target at a time.
  HTREEITEM item = root_;
  Node* node = NodeOf(item);
  if (!node) throw std::runtime_error(failure);
  const int rootDepth = IdCount(node->pidl.Get());
  if (depth < rootDepth || !SameTextNoCase(ParsingName(ClonePrefix(target.Get(), rootDepth).Get()),
                                           ParsingName(node->pidl.Get()))) {
    throw std::runtime_error(failure);
  }
  for (int level = rootDepth + 1; level <= depth; ++level) {
    FillChildren(item);
    TreeView_Expand(tree_, item, TVE_EXPAND);
    UniquePidl prefix = ClonePrefix(target.Get(), level);
    const std::string prefixName = level == depth ? targetName : ParsingName(prefix.Get());
    HTREEITEM found = nullptr;
    for (HTREEITEM child = TreeView_GetChild(tree_, item); child;
         child = TreeView_GetNextSibling(tree_, child)) {
      Node* childNode = NodeOf(child);
      if (childNode && SameTextNoCase(ParsingName(childNode->pidl.Get()), prefixName)) {
        found = child;
        break;
      }
    }
    // A folder the listing did not show (hidden, or created since): add its node.
    if (!found) found = AddNode(item, std::move(prefix), true);
    item = found;
  }

  if (TreeView_GetSelection(tree_) == item) return;
  pending_ = nullptr;
  selecting_ = true;
  TreeView_SelectItem(tree_, item);
  selecting_ = false;
  if (pending_) {
    std::exception_ptr error = pending_;
    pending_ = nullptr;
    std::rethrow_exception(error);
  }
}

bool ShellTree::HasSelection() {
  return tree_ && TreeView_GetSelection(tree_) != nullptr;
}

void ShellTree::MakeSelectionVisible() {
  if (HTREEITEM item = tree_ ? TreeView_GetSelection(tree_) : nullptr) {
    TreeView_EnsureVisible(tree_, item);
  }
}

void ShellTree::Focus() {
  if (tree_) SetFocus(tree_);
}

}  // namespace quillfen::win32
