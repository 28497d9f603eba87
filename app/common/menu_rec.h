#pragma once
// The constant description of a program's commands: one row per command with
// its picture and the rows shown below it, and the sets that say where
// separators go, which rows head the menu bar and which menus are filled
// while the program runs.
#include <span>

#include "app/common/command_set.h"

namespace vexo {

struct TMenuRec {
  // Key of the command's texts in the language file; null for a row that
  // carries no command in this program.
  const char* Name;
  int ImageIndex;  // into the menu system's image list; -1 for none
  TCommandSet SubItems;
  // Key of the shorter caption (and, with "H", the hint) the command shows
  // on a tool bar; an empty caption there shows the picture alone. Null: the
  // menu's caption and hint.
  const char* BarName = nullptr;
};

// A row that menus show right after another row, rather than in row order.
struct TMenuPlacement {
  int Row;
  int After;
};

struct TMenuTable {
  std::span<const TMenuRec> Rows;
  TCommandSet MenuSeparators;     // a separator line goes before these in a menu
  TCommandSet ToolBarSeparators;  // a narrow gap goes before these on a tool bar
  TCommandSet TopLevel;           // may stand in the menu bar
  TCommandSet RunTimeLists;       // parents of menus filled while the program runs
  TCommandSet RadioLists;         // their entries are radio items
  TCommandSet AutoCheck;          // toggle their own check mark
  std::span<const TMenuPlacement> PlacedAfter = {};
};

}  // namespace vexo
