#pragma once

// The layout a DispSize setting selects: 0 small, 1 medium, and large for
// 2 and any other value, as the settings window reads it.
constexpr int LayoutSizeOf(int dispSize) {
  return dispSize == 0 || dispSize == 1 ? dispSize : 2;
}

// The caption cells of the number display and edit windows (white on blue)
// use a font this much smaller than their values, so that the longest
// caption, 応答までの時間, keeps room at both ends of its cell at every size.
constexpr int CaptionFontReduction = 2;
