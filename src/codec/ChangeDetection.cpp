#include "codec/ChangeDetection.h"

#include <cstdlib>
#include <cstring>

namespace ostrel::codec {

void collectLineGroup(const uint8_t* scanned, const uint8_t* reference, int stride, int screenWidth,
                      int blockBytes, int y, int half, std::vector<LineGroup>& groups) {
  if (std::memcmp(scanned, reference, static_cast<std::size_t>(stride)) == 0) return;
  const int top = y - half, bottom = y + half - 1;
  const int blocks = screenWidth >> 4;
  LineGroup& group = groups.emplace_back(1, ScreenRect{});
  bool first = true;
  for (int g = 1; g <= blocks; ++g) {
    const std::size_t offset = static_cast<std::size_t>(g - 1) * blockBytes;
    if (std::memcmp(scanned + offset, reference + offset, static_cast<std::size_t>(blockBytes)) == 0)
      continue;
    if (first) {
      first = false;
      group.front() = {g - 1, top, g, bottom};
      continue;
    }
    ScreenRect& last = group.back();
    if (g > last.right + 6)
      group.push_back({g - 1, top, g, bottom});
    else
      last.right = g;
  }
  // Only the W mod 16 columns that no block covers differ. Taking the last
  // whole block lets the right-border rule carry the region out to W; a
  // zero-width rectangle would never send those columns on a still screen.
  if (first && blocks > 0) group.front() = {blocks - 1, top, blocks, bottom};
}

namespace {

bool inside(const ScreenRect& inner, const ScreenRect& outer) {
  return outer.left <= inner.left && outer.top <= inner.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// Group pass: the whole group's span U is taken over when its edges lie within
// 5 blocks (and its top within 60 rows) of R.
bool mergeGroupSpan(ScreenRect& r, const ScreenRect& u) {
  bool merged = false;
  if (r.right < u.right && r.right >= u.right - 5 && u.top - r.bottom < 60) {
    r.right = u.right;
    merged = true;
  }
  if (r.left > u.left && r.left <= u.left + 5 && u.top - r.bottom < 60) {
    r.left = u.left;
    merged = true;
  }
  if (r.bottom < u.bottom && r.bottom >= u.bottom - 60 &&
      (merged || std::abs(u.left - r.left) + std::abs(u.right - r.right) <= 9)) {
    r.bottom = u.bottom;
    merged = true;
  }
  return merged || inside(u, r);
}

// Rectangle pass: the same tests with strict bounds (4 blocks, 59 rows).
bool mergeRectangle(ScreenRect& r, const ScreenRect& k) {
  bool merged = false;
  if (r.right < k.right && r.right > k.right - 5 && k.top - r.bottom < 60) {
    r.right = k.right;
    merged = true;
  }
  if (r.left > k.left && r.left < k.left + 5 && k.top - r.bottom < 60) {
    r.left = k.left;
    merged = true;
  }
  if (r.bottom < k.bottom && r.bottom > k.bottom - 60 &&
      (merged || std::abs(k.left - r.left) + std::abs(k.right - r.right) <= 9)) {
    r.bottom = k.bottom;
    merged = true;
  }
  return merged || inside(k, r);
}

}  // namespace

void mergeLineGroups(std::vector<LineGroup>& groups, int screenWidth, int screenHeight, int half,
                     std::vector<ScreenRect>& regions) {
  while (!groups.empty()) {
    ScreenRect r = groups.front().front();
    groups.front().erase(groups.front().begin());
    if (groups.front().empty()) groups.erase(groups.begin());

    std::size_t g = 0;
    while (g < groups.size()) {
      LineGroup& group = groups[g];
      const ScreenRect& first = group.front();
      const ScreenRect& last = group.back();
      if (std::abs((r.right - r.left) - (last.right - first.left)) <= 5) {
        const ScreenRect span{first.left, first.top, last.right, first.bottom};
        if (mergeGroupSpan(r, span))
          groups.erase(groups.begin() + static_cast<std::ptrdiff_t>(g));
        else
          ++g;
        continue;
      }
      std::size_t x = 0;
      while (x < group.size()) {
        if (mergeRectangle(r, group[x]))
          group.erase(group.begin() + static_cast<std::ptrdiff_t>(x));
        else
          ++x;
      }
      if (group.empty())
        groups.erase(groups.begin() + static_cast<std::ptrdiff_t>(g));
      else
        ++g;
    }

    ScreenRect pixels{r.left * 16, r.top - half - 1, r.right * 16, r.bottom + half + 1};
    if (pixels.left < 0) pixels.left = 0;
    if (pixels.right > screenWidth - 17) pixels.right = screenWidth;
    if (pixels.top < 0) pixels.top = 0;
    if (pixels.bottom > screenHeight) pixels.bottom = screenHeight;
    regions.push_back(pixels);
  }
}

}  // namespace ostrel::codec
