#pragma once
// Past searches, newest first, from the KVRSearchHistory records the search screen writes.
#include <string>
#include <vector>

class KVRSearchHistories {
 public:
  // The searched texts, newest first; a text searched twice is listed twice.
  std::vector<std::string> arrayOfSearchHistory() const;
};
