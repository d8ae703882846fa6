#include "database/KVRSearchHistories.h"

#include "database/KVRSearchHistory.h"

std::vector<std::string> KVRSearchHistories::arrayOfSearchHistory() const {
  std::vector<std::string> texts;
  for (const auto& value : KVRSearchHistory::allObjects().sorted("date", false).valuesForKey("search"))
    texts.push_back(value.asString());
  return texts;
}
