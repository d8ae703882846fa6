// The screens drawn to pixels as a person sees them: a source's package list over the
// tab bar, rendered off-screen at the device's size, with each label's text where its
// frame is and the palette's background where the list shows nothing; and the window's
// pointer on that list, as a click and a drag.
#include <cstdlib>
#include <string>

#include "interface/KVPackageListKind.h"
#include "interface/KVPaletteManager.h"
#include "interface/KVScreenContext.h"
#include "interface/KVScreens.h"
#include "render/ViewRenderer.h"
#include "render/WindowInput.h"
#include "support/TabBarRoadFixture.h"
#include "support/TestRoot.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UITableView.h"
#include "uikit/UITableViewCell.h"

namespace {

const UILabel* labelReading(const UIView& view, const std::string& text) {
  if (auto* label = dynamic_cast<const UILabel*>(&view); label && label->text() == text) return label;
  for (const auto& sub : view.subviews())
    if (auto* found = labelReading(*sub, text)) return found;
  return nullptr;
}


bool near(const uint8_t* a, const uint8_t* b) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(int(a[i]) - int(b[i])) > 24) return false;
  return true;
}

template <typename T>
T* enclosing(const UIView& view) {
  for (UIView* v = view.superview(); v; v = v->superview())
    if (auto* found = dynamic_cast<T*>(v)) return found;
  return nullptr;
}

CGPoint centreOf(const UIView& view) {
  CGPoint at = ViewRenderer::originInWindow(view);
  return {at.x + view.frame().size.width / 2, at.y + view.frame().size.height / 2};
}

class ScreenDrawing : public TabBarRoadFixture {
 protected:
  // A source of these packages refreshed and its package list pushed on the Manage tab.
  UINavigationController* openPackageList(const std::string& packages) {
    std::string location = serveIndex("repo", packages);
    if (!refresh(location)) return nullptr;
    ui.advance(5);  // the refresh's card has given way
    if (!ui.tab("Manage")) return nullptr;
    auto* navigation = dynamic_cast<UINavigationController*>(tabs->selectedViewController());
    if (!navigation) return nullptr;
    navigation->pushViewController(screenContext().screens->packageList(KVPackageListKind::sourcePackages(location, "Repo")),
                                   false);
    ui.runUntilIdle();
    return navigation;
  }
};

TEST_F(ScreenDrawing, APackageListShowsItsTextInItsFramesOverThePalettesBackground) {
  ASSERT_NE(openPackageList(stanza("com.example.alpha", "1.0", {{"Name", "Alpha Tweak"}}) +
                            stanza("com.example.beta", "2.0", {{"Name", "Beta Tweak"}})),
            nullptr);
  ASSERT_TRUE(ui.screenShows("Beta Tweak")) << ui.screen();

  const double scale = 2;
  const UIColor magenta = UIColor::colorWithRed(1, 0, 1, 1);  // where nothing would paint
  ImagePixels screen = ViewRenderer::render(ui.window(), scale, magenta);
  ASSERT_EQ(screen.width, int(ui.window().frame().size.width * scale));
  ASSERT_EQ(screen.height, int(ui.window().frame().size.height * scale));

  // The name drawn alone, found at its frame in the screen's pixels.
  const UILabel* name = labelReading(ui.window(), "Beta Tweak");
  ASSERT_NE(name, nullptr);
  ImagePixels alone = ViewRenderer::render(*name, scale);
  CGPoint at = ViewRenderer::originInWindow(*name);
  int ink = 0, found = 0;
  for (int y = 0; y < alone.height; ++y)
    for (int x = 0; x < alone.width; ++x) {
      if (alone.at(x, y)[3] < 250) continue;
      ++ink;
      found += near(alone.at(x, y), screen.at(int(at.x * scale) + x, int(at.y * scale) + y));
    }
  EXPECT_GT(ink, 100) << "the name's text is drawn";
  EXPECT_GE(found, ink * 95 / 100) << found << " of " << ink << " pixels of the name where its frame is";

  // Below the last row: the palette's background, not the ground.
  UIColor background = KVPaletteManager::getActivePalette()->backgroundColor();
  const uint8_t* below = screen.at(screen.width / 2, int((at.y + 90) * scale));
  uint8_t expected[4] = {uint8_t(std::lround(background.red() * 255)), uint8_t(std::lround(background.green() * 255)),
                         uint8_t(std::lround(background.blue() * 255)), 255};
  EXPECT_TRUE(near(below, expected)) << int(below[0]) << "," << int(below[1]) << "," << int(below[2]) << " for "
                                     << background.description();
}

TEST_F(ScreenDrawing, TheWindowsPointerDragsTheListAndClicksARow) {
  std::string packages;
  for (int i = 10; i < 40; ++i)
    packages += stanza("com.example.p" + std::to_string(i), "1.0", {{"Name", "Tweak " + std::to_string(i)}});
  UINavigationController* navigation = openPackageList(packages);
  ASSERT_NE(navigation, nullptr);
  UIViewController* list = navigation->topViewController();
  const UILabel* first = labelReading(ui.window(), "Tweak 10");
  ASSERT_NE(first, nullptr) << ui.screen();
  UITableView* table = enclosing<UITableView>(*first);
  ASSERT_NE(table, nullptr);
  ui.window().layoutIfNeeded();

  // Dragging up by 200 points moves the content as far, and opens nothing.
  WindowInput input;
  CGPoint start = centreOf(*table);
  input.pointer(start, true);
  for (int step = 1; step <= 4; ++step) input.pointer({start.x, start.y - 50 * step}, true);
  input.pointer({start.x, start.y - 200}, false);
  ui.runUntilIdle();
  EXPECT_DOUBLE_EQ(table->contentOffset().y, 200);
  EXPECT_EQ(navigation->topViewController(), list);

  // A click at a visible cell's centre opens that row's package.
  ui.window().layoutIfNeeded();
  const UILabel* name = labelReading(ui.window(), "Tweak 20");
  ASSERT_NE(name, nullptr) << ui.screen();
  auto* cell = enclosing<UITableViewCell>(*name);
  ASSERT_NE(cell, nullptr);
  CGPoint centre = centreOf(*cell);
  input.pointer(centre, true);
  input.pointer(centre, false);
  ui.runUntilIdle();
  EXPECT_NE(navigation->topViewController(), list);
  EXPECT_TRUE(ui.screenShows("com.example.p20") || ui.screenShows("Tweak 20")) << ui.screen();
}

}  // namespace
