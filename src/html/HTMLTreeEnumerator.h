#pragma once
// A depth-first, pre-order walk of a subtree: the starting node, then each child's
// subtree, left to right (or right to left when reversed, still parents first). The
// starting node's siblings are never visited. Changing the tree during a walk is not
// supported.
#include <cstdint>
#include <utility>
#include <vector>

#include "html/HTMLNode.h"

namespace html {

class HTMLTreeEnumerator {
 public:
  HTMLTreeEnumerator(HTMLNodeRef node, bool reversed);

  // The next node, or nullptr once the walk is over. The pointer is valid while the
  // tree is unchanged; the enumerator keeps the starting node alive.
  HTMLNode* nextObject();

 private:
  struct Position {
    uint32_t index;
    uint32_t count;
  };

  HTMLNodeRef root_;
  HTMLNode* nextNode_;
  bool reversed_;
  std::vector<Position> indexPath_;
};

}  // namespace html
