// magtool intro: one intro frame, drawn headless as it shows on screen (over
// the background that clearIntroFrame leaves), with seeded stars.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "assets/assets.h"
#include "content/content.h"
#include "host/display_host.h"
#include "host/random.h"
#include "render/graphics.h"
#include "render/render.h"
#include "tools/dev/imageio/png.h"
#include "tools/dev/magtool/magtool.h"

namespace {

constexpr const char* kUsage = "intro OUT.png [--clock T] [--seed S]";

int usage() {
  std::fprintf(stderr, "usage: magtool %s\n", kUsage);
  return 2;
}

int run(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string out = argv[1];
  double clock = 0.0;
  unsigned long long seed = 1;
  for (int i = 2; i < argc; ++i) {
    if (i + 1 >= argc) return usage();
    char* end = nullptr;
    if (std::strcmp(argv[i], "--clock") == 0) {
      clock = std::strtod(argv[i + 1], &end);
    } else if (std::strcmp(argv[i], "--seed") == 0) {
      seed = std::strtoull(argv[i + 1], &end, 10);
    } else {
      return usage();
    }
    if (end == argv[i + 1] || *end != '\0') return usage();
    ++i;
  }

  content::Content issue;
  content::buildContent(issue);
  auto g = render::createGraphics();
  render::setUpRenderer(*g, render::ImageAssets{assets::grungeSkin(), assets::carbonSkin(), assets::textFont(),
                                                assets::bigFont()});
  host::Random random(seed);
  render::initStarfield(*g, random);
  // The timer stands still at 0: the scroller is at its start and not moving.
  const double now = 0.0;
  render::setIntroPauseDeadline(*g, now);
  render::clearIntroFrame(*g);
  render::drawIntroFrame(*g, clock, 0.0, issue.texts, now);
  if (!imageio::writePng(out, render::framePixels(*g), render::kFrameWidth, render::kFrameHeight)) return 1;
  return 0;
}

magtool::Registration reg{{"intro", kUsage, &run}};

}  // namespace
