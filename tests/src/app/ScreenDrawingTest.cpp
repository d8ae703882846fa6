// The screens drawn to pixels as a person sees them: a source's package list over the
// tab bar, rendered off-screen at the device's size, with each label's text where its
// frame is and the palette's background where the list shows nothing.
#include <cstdlib>
#include <string>

#include "interface/KVPackageListKind.h"
#include "interface/KVPaletteManager.h"
#include "interface/KVScreenContext.h"
#include "interface/KVScreens.h"
#include "render/ViewRenderer.h"
#include "support/TabBarRoadFixture.h"
#include "support/TestRoot.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"

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

class ScreenDrawing : public TabBarRoadFixture {};

TEST_F(ScreenDrawing, APackageListShowsItsTextInItsFramesOverThePalettesBackground) {
  std::string location = serveIndex("repo", stanza("com.example.alpha", "1.0", {{"Name", "Alpha Tweak"}}) +
                                                stanza("com.example.beta", "2.0", {{"Name", "Beta Tweak"}}));
  ASSERT_TRUE(refresh(location));
  ui.advance(5);  // the refresh's card has given way
  ASSERT_TRUE(ui.tab("Manage"));
  auto* navigation = dynamic_cast<UINavigationController*>(tabs->selectedViewController());
  ASSERT_NE(navigation, nullptr);
  navigation->pushViewController(screenContext().screens->packageList(KVPackageListKind::sourcePackages(location, "Repo")),
                                 false);
  ui.runUntilIdle();
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

}  // namespace
