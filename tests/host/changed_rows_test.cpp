// The browser edition's changed-row band: only rows that differ are copied
// and reported, as one band from the first to the last of them.
#include <gtest/gtest.h>

#include <vector>

#include "host/web/changed_rows.h"

namespace host {
namespace {

constexpr int32_t kWidth = 7;
constexpr int32_t kHeight = 9;

std::vector<uint32_t> frameOf(uint32_t fill) { return std::vector<uint32_t>(kWidth * kHeight, fill); }

TEST(ChangedRows, FirstFrameIsWhollyCopied) {
  const std::vector<uint32_t> frame = frameOf(0x123456);
  std::vector<uint32_t> shown = frameOf(0x123456);  // equal, but nothing is on the canvas yet
  const ChangedRows rows = copyChangedRows(frame.data(), shown.data(), kWidth, kHeight, true);
  EXPECT_EQ(rows.first, 0);
  EXPECT_EQ(rows.count, kHeight);
}

TEST(ChangedRows, AnUnchangedFrameCopiesNothing) {
  const std::vector<uint32_t> frame = frameOf(0x00FF00);
  std::vector<uint32_t> shown = frame;
  EXPECT_EQ(copyChangedRows(frame.data(), shown.data(), kWidth, kHeight, false).count, 0);
}

TEST(ChangedRows, TheBandSpansTheFirstToTheLastChangedRowAndOnlyThoseAreCopied) {
  std::vector<uint32_t> shown = frameOf(1);
  std::vector<uint32_t> frame = shown;
  frame[2 * kWidth + kWidth - 1] = 5;  // the last pixel of row 2
  frame[6 * kWidth] = 6;               // the first pixel of row 6
  const ChangedRows rows = copyChangedRows(frame.data(), shown.data(), kWidth, kHeight, false);
  EXPECT_EQ(rows.first, 2);
  EXPECT_EQ(rows.count, 5);
  EXPECT_EQ(shown, frame);
  // A row in the band that did not change keeps what was shown (nothing to copy).
  frame[4 * kWidth + 3] = 9;
  shown[4 * kWidth + 3] = 1;
  const ChangedRows again = copyChangedRows(frame.data(), shown.data(), kWidth, kHeight, false);
  EXPECT_EQ(again.first, 4);
  EXPECT_EQ(again.count, 1);
  EXPECT_EQ(shown[4 * kWidth + 3], 9u);
}

TEST(ChangedRows, TheLastRowAlone) {
  std::vector<uint32_t> shown = frameOf(0);
  std::vector<uint32_t> frame = shown;
  frame[kWidth * kHeight - 1] = 1;
  const ChangedRows rows = copyChangedRows(frame.data(), shown.data(), kWidth, kHeight, false);
  EXPECT_EQ(rows.first, kHeight - 1);
  EXPECT_EQ(rows.count, 1);
}

}  // namespace
}  // namespace host
