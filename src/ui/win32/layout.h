#pragma once

namespace quillfen::win32 {

// The main window's client size at 96 pixels per inch.
inline constexpr int kClientWidth = 656;
inline constexpr int kClientHeight = 332;

// Every control of the main window. The value is the control's identifier.
enum ControlId : int {
  kGroupBox1 = 100,
  kGamedirlv,
  kFindit,
  kSearchpanel,
  kLabel3,
  kSearchlabel,
  kPatchbutton,
  kUndobutton,
  kGroupBox3,
  kLabel1,
  kLabel2,
  kWidthedit,
  kHeightedit,
  kGroupBox2,
  kDetailssl,
  kGroupBox4,
  kGamecb,
  kLabel4,
  kLabel5,
  kNoParent = 0,  // parent of a control that stands on the window itself
};

// A link is a label that opens a web address when clicked: navy text, a hand
// pointer over it, and its clicks reported to the window.
enum class Kind { groupBox, panel, label, link, button, edit, memo, dropDownList, folderTree };

enum class Font { regular, bold, searching, link };

// How a label's text stands in it: left- or right-aligned in the width the
// layout gives, or left-aligned in a label as wide as its text (the layout's
// width is then the text's width in the designed font, and the real font's
// decides). Controls other than labels and links take `left`.
enum class Align { left, right, fitText };

struct ControlSpec {
  ControlId id;
  const char* name;
  Kind kind;
  ControlId parent;
  const char* caption;
  int left, top, width, height;  // in the parent's client area, at 96 pixels per inch
  Font font;
  bool enabled;
  bool visible;
  Align align;
};

// The first line of the sentence whose second line is the forum link.
inline constexpr const char* kForumLead = "Questions, or a game to add? Visit the forum:";

// The controls in tab order within each parent; a parent comes before its
// children. Where two siblings overlap, the later one lies above the earlier
// (the search panel above the folder tree, widthedit above Label2). Label4
// stands above Label5 so that the two read as one sentence; Label5's caption
// is the forum's host name.
inline constexpr ControlSpec kControls[] = {
    {kGroupBox1, "GroupBox1", Kind::groupBox, kNoParent, "Game Installation Folder", 7, 55, 319,
     178, Font::regular, true, true, Align::left},
    {kGamedirlv, "gamedirlv", Kind::folderTree, kGroupBox1, "", 8, 17, 303, 126, Font::regular,
     true, true, Align::left},
    {kFindit, "findit", Kind::button, kGroupBox1, "Find it for me...", 88, 147, 143, 25,
     Font::regular, true, true, Align::left},
    {kSearchpanel, "searchpanel", Kind::panel, kGroupBox1, "", 7, 17, 304, 126, Font::regular, true,
     false, Align::left},
    {kLabel3, "Label3", Kind::label, kSearchpanel, "Searching...", 11, 37, 83, 16, Font::searching,
     true, true, Align::left},
    {kSearchlabel, "searchlabel", Kind::label, kSearchpanel, "", 11, 57, 283, 29, Font::regular,
     true, true, Align::left},
    {kPatchbutton, "patchbutton", Kind::button, kNoParent, "Patch", 574, 300, 75, 25, Font::regular,
     false, true, Align::left},
    {kUndobutton, "undobutton", Kind::button, kNoParent, "Undo Patch", 492, 300, 75, 25,
     Font::regular, false, true, Align::left},
    {kGroupBox3, "GroupBox3", Kind::groupBox, kNoParent, "New Resolution", 8, 235, 318, 55,
     Font::regular, true, true, Align::left},
    {kLabel1, "Label1", Kind::label, kGroupBox3, "Screen Width:", 10, 26, 90, 14, Font::regular,
     true, true, Align::right},
    {kLabel2, "Label2", Kind::label, kGroupBox3, "Height:", 156, 24, 59, 13, Font::regular, true,
     true, Align::right},
    {kWidthedit, "widthedit", Kind::edit, kGroupBox3, "", 107, 21, 64, 21, Font::regular, false,
     true, Align::left},
    {kHeightedit, "heightedit", Kind::edit, kGroupBox3, "", 220, 21, 64, 21, Font::regular, false,
     true, Align::left},
    {kGroupBox2, "GroupBox2", Kind::groupBox, kNoParent, "Important Details", 332, 55, 318, 235,
     Font::bold, true, true, Align::left},
    {kDetailssl, "detailssl", Kind::memo, kGroupBox2, "", 8, 15, 301, 211, Font::regular, true,
     true, Align::left},
    {kGroupBox4, "GroupBox4", Kind::groupBox, kNoParent, "Game", 7, 4, 643, 47, Font::regular, true,
     true, Align::left},
    {kGamecb, "gamecb", Kind::dropDownList, kGroupBox4, "", 8, 17, 626, 21, Font::regular, true,
     true, Align::left},
    {kLabel4, "Label4", Kind::label, kNoParent, kForumLead, 147, 298, 230, 13, Font::regular, true,
     true, Align::fitText},
    {kLabel5, "Label5", Kind::link, kNoParent, nullptr /* the forum's host */, 147, 312, 194, 13,
     Font::link, true, true, Align::fitText},
};

// Height of an item in the drop-down list `gamecb`.
inline constexpr int kGameListItemHeight = 13;
// Indentation of the folder tree per level.
inline constexpr int kTreeIndent = 19;

}  // namespace quillfen::win32
