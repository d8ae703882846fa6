#pragma once
// A dependency as a value: the package it names, the version and relation it asks for,
// and the repository it is expected from.
#include <string>

struct KVDependencyDescription {
  std::string identifier;
  std::string version;
  std::string operation;  // a version relation: "<<", "<=", "=", ">=", ">>"
  std::string repoURLString;

  static KVDependencyDescription dependencyDescriptionWithIdentifier(std::string identifier, std::string version,
                                                                      std::string operation, std::string repoURLString) {
    return {std::move(identifier), std::move(version), std::move(operation), std::move(repoURLString)};
  }
  bool operator==(const KVDependencyDescription&) const = default;
};
