#pragma once
// The reuse pool behind table and collection views: cells (and supplementary views)
// put aside by their reuse identifier, handed out again (deselected, after
// prepareForReuse) before any new one is made from the identifier's registration.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

template <class Cell>
class UIReusePool {
 public:
  using Factory = std::function<std::shared_ptr<Cell>(const std::string& reuseIdentifier)>;

  void registerFactory(const std::string& identifier, Factory factory) { factories_[identifier] = std::move(factory); }
  bool isRegistered(const std::string& identifier) const { return factories_.count(identifier) != 0; }

  // A pooled cell, else a new one from the registration (given the identifier), else nothing.
  std::shared_ptr<Cell> dequeue(const std::string& identifier) {
    auto& pool = pool_[identifier];
    if (!pool.empty()) {
      auto cell = pool.back();
      pool.pop_back();
      if constexpr (requires { cell->setSelected(false); }) cell->setSelected(false);
      cell->prepareForReuse();
      return cell;
    }
    auto it = factories_.find(identifier);
    if (it == factories_.end()) return nullptr;
    auto cell = it->second(identifier);
    if (cell && cell->reuseIdentifier().empty()) cell->setReuseIdentifier(identifier);
    return cell;
  }

  // Puts a cell aside under its reuse identifier; a cell without one is not kept.
  void enqueue(std::shared_ptr<Cell> cell) {
    if (cell && !cell->reuseIdentifier().empty()) pool_[cell->reuseIdentifier()].push_back(std::move(cell));
  }

  size_t size(const std::string& identifier) const {
    auto it = pool_.find(identifier);
    return it == pool_.end() ? 0 : it->second.size();
  }

 private:
  std::map<std::string, Factory> factories_;
  std::map<std::string, std::vector<std::shared_ptr<Cell>>> pool_;
};
