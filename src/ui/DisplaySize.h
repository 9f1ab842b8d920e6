#pragma once

// The layout a DispSize setting selects: 0 small, 1 medium, and large for
// 2 and any other value, as the settings window reads it.
constexpr int LayoutSizeOf(int dispSize) {
  return dispSize == 0 || dispSize == 1 ? dispSize : 2;
}
