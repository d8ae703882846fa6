#pragma once
// The distinct package identifiers an xz-packed Packages index names: what a refresh of
// it must leave as records (a few identifiers come with two versions).
#include <optional>
#include <set>
#include <string>

std::optional<std::set<std::string>> packageIdentifiersOfIndex(const std::string& xzPath, std::string* error);
