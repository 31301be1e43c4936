#include "page_compare.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "spool/spool_store.h"

namespace velm::tools {
namespace {

std::string ReadSpoolJob(DWORD spoolJob) {
  std::ifstream in(platform::SpoolJobFile(spoolJob), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Whether a pixel of `a` has its colour within one pixel in `b`.
bool Matched(const jobrender::Canvas& a, const jobrender::Canvas& b, int32_t x, int32_t y) {
  const uint32_t colour = a.At(x, y);
  for (int32_t dy = -1; dy <= 1; ++dy) {
    for (int32_t dx = -1; dx <= 1; ++dx) {
      const int32_t nx = x + dx, ny = y + dy;
      if (nx >= 0 && ny >= 0 && nx < b.width && ny < b.height && b.At(nx, ny) == colour) return true;
    }
  }
  return false;
}

}  // namespace

bool PrintAndDraw(HANDLE printer, const std::string& pages, const std::vector<ItemAssignment>& items,
                  bool keepPageRasters, PrintedPages* out, std::string* error) {
  platform::PrintJob job;
  if (!BuildJobDevmode(printer, items, &job.devmode, error)) return false;
  job.printer = printer;
  job.pages = pages;
  job.keepPageRasters = keepPageRasters;
  out->result = platform::RunPrintJob(job);
  if (!out->result.ok) {
    *error = "the job failed: " + out->result.message;
    return false;
  }
  const std::string bytes = ReadSpoolJob(out->result.spoolJob);
  jobdump::Job decoded;
  if (!jobdump::DecodeJob(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), {}, &decoded, error)) {
    *error = "the job does not decode: " + *error;
    return false;
  }
  out->rendering = jobrender::DrawJob(decoded);
  return true;
}

PictureDifference ComparePictures(const jobrender::Canvas& a, const jobrender::Canvas& b) {
  PictureDifference difference;
  if (a.width != b.width || a.height != b.height) {
    difference.sameSize = false;
    difference.differing = static_cast<uint64_t>(std::max(a.width, b.width)) * std::max(a.height, b.height);
    return difference;
  }
  const int32_t w = a.width, h = a.height;
  std::vector<uint8_t> differs(static_cast<size_t>(w) * h, 0);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      if (a.At(x, y) == b.At(x, y)) continue;
      if (!Matched(a, b, x, y) || !Matched(b, a, x, y)) {
        differs[static_cast<size_t>(y) * w + x] = 1;
        ++difference.differing;
      }
    }
  }
  // The boxes of 8-connected differing pixels.
  std::vector<std::pair<int32_t, int32_t>> stack;
  int64_t largest = 0;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      if (differs[static_cast<size_t>(y) * w + x] != 1) continue;
      int32_t left = x, top = y, right = x, bottom = y;
      differs[static_cast<size_t>(y) * w + x] = 2;
      stack.assign(1, {x, y});
      while (!stack.empty()) {
        const auto [px, py] = stack.back();
        stack.pop_back();
        left = std::min(left, px), right = std::max(right, px), top = std::min(top, py), bottom = std::max(bottom, py);
        for (int32_t dy = -1; dy <= 1; ++dy) {
          for (int32_t dx = -1; dx <= 1; ++dx) {
            const int32_t nx = px + dx, ny = py + dy;
            if (nx < 0 || ny < 0 || nx >= w || ny >= h || differs[static_cast<size_t>(ny) * w + nx] != 1) continue;
            differs[static_cast<size_t>(ny) * w + nx] = 2;
            stack.emplace_back(nx, ny);
          }
        }
      }
      const int64_t area = int64_t{right - left + 1} * (bottom - top + 1);
      if (area > largest) {
        largest = area;
        difference.boxLeft = left, difference.boxTop = top;
        difference.boxWidth = right - left + 1, difference.boxHeight = bottom - top + 1;
      }
    }
  }
  return difference;
}

bool ModeComparison::Within(const Tolerance& tolerance) const {
  if (!printed || pages.empty()) return false;
  for (const PictureDifference& page : pages) {
    if (!page.sameSize || page.differing > tolerance.differingPixels ||
        std::max(page.boxWidth, page.boxHeight) > tolerance.boxSide) {
      return false;
    }
  }
  return true;
}

std::string ModeComparison::Describe() const {
  if (!printed) return "not compared: " + error;
  std::string text;
  for (size_t i = 0; i < pages.size(); ++i) {
    const PictureDifference& page = pages[i];
    text += "page " + std::to_string(i + 1) + ": ";
    if (!page.sameSize) {
      text += "the two pictures differ in size\n";
      continue;
    }
    text += std::to_string(page.differing) + " pixels differ; largest box " + std::to_string(page.boxWidth) + " x " +
            std::to_string(page.boxHeight) + " at (" + std::to_string(page.boxLeft) + "," +
            std::to_string(page.boxTop) + ")\n";
  }
  for (const std::string& problem : problems) text += "not drawn: " + problem + "\n";
  return text;
}

ModeComparison CompareModes(HANDLE printer, const std::string& pages, const std::vector<ItemAssignment>& items) {
  ModeComparison comparison;
  PrintedPages printed[2];
  for (int raster = 0; raster < 2; ++raster) {
    std::vector<ItemAssignment> mode = items;
    mode.push_back({"vdmRasterMode", raster ? "1" : "0"});
    if (!PrintAndDraw(printer, pages, mode, false, &printed[raster], &comparison.error)) {
      comparison.error = (raster ? "raster mode: " : "vector mode: ") + comparison.error;
      return comparison;
    }
    for (const std::string& problem : printed[raster].rendering.problems)
      comparison.problems.push_back((raster ? "raster: " : "vector: ") + problem);
  }
  const std::vector<jobrender::Canvas>& vector = printed[0].rendering.pages;
  const std::vector<jobrender::Canvas>& raster = printed[1].rendering.pages;
  if (vector.size() != raster.size()) {
    comparison.error = "vector mode drew " + std::to_string(vector.size()) + " pages, raster mode " +
                       std::to_string(raster.size());
    return comparison;
  }
  comparison.printed = true;
  for (size_t i = 0; i < vector.size(); ++i) comparison.pages.push_back(ComparePictures(vector[i], raster[i]));
  return comparison;
}

}  // namespace velm::tools
