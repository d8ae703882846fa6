#pragma once
// The repositories an empty database starts with and the bootstrap repository of each
// jailbreak tool. The hosts are this installation's own, under the reserved ".example"
// name, so they never reach anything real; tests replace the table with addresses on
// 127.0.0.1.
#include <optional>
#include <string>
#include <vector>

namespace KVDefaultRepositories {

// In the order they are added: the vendor's repository, the large older repository,
// a developer's repository and four community repositories.
std::vector<std::string> defaultSourceLocations();
// The bootstrap repository of a jailbreak tool (KVPlatform::JailbreakTool); none for 0.
std::optional<std::string> bootstrapLocationForJailbreakTool(int tool);

// Tests: replace the tables (an empty list / map restores the built-in ones).
void overrideDefaultSourceLocations(std::vector<std::string> locations);
void overrideBootstrapLocation(int tool, std::optional<std::string> location);
void resetOverrides();

}  // namespace KVDefaultRepositories
