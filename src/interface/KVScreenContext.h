#pragma once
// What the composition root hands every screen it makes, through the screen's
// constructor: the managers screens call, the application delegate's actions, and the
// navigation to every other screen. All are there for as long as the screen lives: a
// screen calls them without asking whether they exist. A screen hands its own context to
// the screens of its own subsystem that it makes; other screens it opens through
// `screens`.
#include <memory>

class KVApplicationActions;
class KVRDevelopers;
class KVRPackages;
class KVRSources;
class KVScreens;

struct KVScreenContext {
  std::shared_ptr<KVRSources> sources;
  std::shared_ptr<KVRPackages> packages;
  std::shared_ptr<KVApplicationActions> actions;
  std::shared_ptr<KVScreens> screens;
  // The followed developers (declared last: openers that name the first four still build).
  std::shared_ptr<KVRDevelopers> developers;
};
