#pragma once
// The interface files the application's views are made from, registered by name in one
// place: the storyboard "Main" with the tab bar ("TabBarVC") that the root's navigation
// makes, the alert card and the cells. Screens themselves are made by the navigation
// (KVRootScreens), never by name.
#include <memory>

class KVRootScreens;

namespace ApplicationInterfaceFiles {
void registerAll(std::shared_ptr<KVRootScreens> screens);
}  // namespace ApplicationInterfaceFiles
